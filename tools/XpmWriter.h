#pragma once

#include <QByteArray>
#include <QImage>
#include <QMap>
#include <QString>

// Turns a picture into an XPM file that the game includes as constant C++ data.
class XpmWriter {
  public:
    // Pixels with alpha 0 become the colour "None". Every other pixel is written with its RGB
    // value; colours listed in fixedKeys get that key, the rest get keys chosen in order of
    // appearance.
    explicit XpmWriter(QString arrayName) : arrayName(std::move(arrayName)) {}

    void setFixedKey(QRgb colour, const QByteArray& key) { fixedKeys.insert(colour, key); }
    // Writes colourText instead of "#RRGGBB" for the colour with this key (used for a placeholder
    // colour that the game substitutes at run time).
    void setColourText(const QByteArray& key, const QByteArray& colourText) {
        colourTexts.insert(key, colourText);
    }

    QByteArray toXpm(const QImage& image) const;
    bool write(const QImage& image, const QString& path) const;

  private:
    QString arrayName;
    QMap<QRgb, QByteArray> fixedKeys;
    QMap<QByteArray, QByteArray> colourTexts;
};
