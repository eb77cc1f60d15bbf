#include "tools/XpmWriter.h"

#include <QFile>
#include <QVector>

namespace {

constexpr QRgb kTransparent = 0;

// Printable characters that need no escaping inside a C string.
const QByteArray kKeyCharacters =
    " .XoO+@#$%&*=-;:>,<1234567890qwertyuipasdfghjklzxcvbnmMNBVCZASDFGHJKLPIUYTREWQ!~^/()_`'][{}|";

QByteArray keyFor(int index, int charsPerPixel) {
    QByteArray key;
    for (int i = 0; i < charsPerPixel; ++i) {
        key.prepend(kKeyCharacters.at(index % kKeyCharacters.size()));
        index /= kKeyCharacters.size();
    }
    return key;
}

QRgb pixelColour(const QImage& image, int x, int y) {
    const QRgb pixel = image.pixel(x, y);
    return qAlpha(pixel) == 0 ? kTransparent : (pixel | 0xff000000u);
}

}  // namespace

QByteArray XpmWriter::toXpm(const QImage& image) const {
    const QImage picture = image.convertToFormat(QImage::Format_ARGB32);

    QVector<QRgb> colours;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb colour = pixelColour(picture, x, y);
            if (!colours.contains(colour)) {
                colours.append(colour);
            }
        }
    }

    int charsPerPixel = 1;
    for (const QByteArray& key : fixedKeys) {
        charsPerPixel = std::max(charsPerPixel, int(key.size()));
    }
    if (colours.size() > kKeyCharacters.size()) {
        charsPerPixel = std::max(charsPerPixel, 2);
    }

    QMap<QRgb, QByteArray> keys;
    QList<QByteArray> takenKeys = fixedKeys.values();
    int nextKey = 0;
    for (const QRgb colour : colours) {
        if (fixedKeys.contains(colour)) {
            keys.insert(colour, fixedKeys.value(colour));
            continue;
        }
        QByteArray key;
        do {
            key = keyFor(nextKey++, charsPerPixel);
        } while (takenKeys.contains(key));
        takenKeys.append(key);
        keys.insert(colour, key);
    }

    QByteArray out = "/* XPM */\nstatic const char* const " + arrayName.toLatin1() + "[] = {\n";
    out += QByteArray("\"") + QByteArray::number(picture.width()) + ' ' +
           QByteArray::number(picture.height()) + ' ' + QByteArray::number(colours.size()) + ' ' +
           QByteArray::number(charsPerPixel) + "\",\n";
    for (const QRgb colour : colours) {
        const QByteArray& key = keys.value(colour);
        QByteArray text =
            colour == kTransparent
                ? QByteArray("None")
                : "#" + QByteArray::number(colour & 0xffffffu, 16).rightJustified(6, '0').toUpper();
        text = colourTexts.value(key, text);
        out += "\"" + key + " c " + text + "\",\n";
    }
    for (int y = 0; y < picture.height(); ++y) {
        out += '"';
        for (int x = 0; x < picture.width(); ++x) {
            out += keys.value(pixelColour(picture, x, y));
        }
        out += y + 1 < picture.height() ? "\",\n" : "\"\n";
    }
    out += "};\n";
    return out;
}

bool XpmWriter::write(const QImage& image, const QString& path) const {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    return file.write(toXpm(image)) >= 0;
}
