// Draws the four built-in screen pictures (start logo, race won, race completed, track not
// available) and writes them as XPM files that the game compiles in.
//
//   draw_screen_pictures <xpm-folder> [<png-folder>]
//
// The pictures are drawn smoothly and then snapped to a small palette, so the XPM files stay small
// while the edges keep their in-between greys.

#include <QColor>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTransform>
#include <QVector>
#include <cmath>
#include <cstdio>
#include <functional>

#include "platform/GameFacts.h"
#include "tools/XpmWriter.h"

namespace {

constexpr QRgb TRANSPARENT = 0;
constexpr QRgb WINNER_BLUE = 0xff0000dc;
constexpr QRgb BOARD_GREY = 0xffcdd2d5;
constexpr QRgb NOT_AVAILABLE_YELLOW = 0xfffffa00;

constexpr QSize LOGO_SIZE(180, 115);
constexpr QSize RESULT_SIZE(CANVAS_WIDTH, CANVAS_HEIGHT);
constexpr QSize NOT_AVAILABLE_SIZE(240, 160);

// Ink boxes of the layouts, inclusive pixel columns and rows.
struct InkBox {
    int left, top, right, bottom;
    QRectF rect() const { return QRectF(left, top, right - left + 1, bottom - top + 1); }
};
constexpr InkBox FLAGS_BOX{11, 12, 212, 132};
constexpr InkBox WINNER_BOX{11, 54, 212, 111};
constexpr InkBox WON_BOARD{21, 166, 203, 268};
constexpr InkBox COMPLETED_BOARD{20, 166, 202, 268};
constexpr InkBox NOT_AVAILABLE_INK{42, 29, 197, 121};

// ---------------------------------------------------------------------------------------------
// Palette snapping

// Sixteen greys from black to white.
QVector<QRgb> GreyPalette() {
    QVector<QRgb> palette;
    for (int level = 0; level <= 0xff; level += 0x11) {
        palette.append(qRgb(level, level, level));
    }
    return palette;
}

// The greys, the board colours and the blue of the lettering with the two
// blends its smooth edges need against black and white.
QVector<QRgb> ResultPalette() {
    QVector<QRgb> palette = GreyPalette();
    palette.append({BOARD_GREY, WINNER_BLUE, qRgb(0x00, 0x00, 0x6e), qRgb(0x80, 0x80, 0xee)});
    return palette;
}

QRgb Nearest(QRgb colour, const QVector<QRgb>& palette) {
    QRgb best = palette.first();
    int bestDistance = INT_MAX;
    for (const QRgb candidate : palette) {
        const int dr = qRed(colour) - qRed(candidate);
        const int dg = qGreen(colour) - qGreen(candidate);
        const int db = qBlue(colour) - qBlue(candidate);
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = candidate;
        }
    }
    return best;
}

// Half-covered pixels become opaque, the rest transparent; every opaque pixel takes the nearest
// palette colour.
QImage Snapped(const QImage& drawn, const QVector<QRgb>& palette) {
    QImage picture = drawn.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < picture.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            line[x] = qAlpha(line[x]) < 128 ? TRANSPARENT : Nearest(line[x], palette);
        }
    }
    return picture;
}

QImage Blank(QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// ---------------------------------------------------------------------------------------------
// Lettering

QPainterPath TextPath(const QString& text, const QFont& font) {
    QPainterPath path;
    path.addText(0, 0, font, text);
    return path;
}

// Scales the path evenly to the largest size that fits the box and centres it there.
QPainterPath FittedInto(const QPainterPath& path, const QRectF& box) {
    const QRectF bounds = path.boundingRect();
    const double scale = std::min(box.width() / bounds.width(), box.height() / bounds.height());
    QTransform fit;
    fit.translate(box.center().x(), box.center().y());
    fit.scale(scale, scale);
    fit.translate(-bounds.center().x(), -bounds.center().y());
    return fit.map(path);
}

// Stretches the path to fill the box exactly.
QPainterPath FilledInto(const QPainterPath& path, const QRectF& box) {
    const QRectF bounds = path.boundingRect();
    QTransform fill;
    fill.translate(box.left(), box.top());
    fill.scale(box.width() / bounds.width(), box.height() / bounds.height());
    fill.translate(-bounds.left(), -bounds.top());
    return fill.map(path);
}

// Lines of text, each centred on the widest, one below the other.
QPainterPath CentredLines(const QStringList& lines, const QFont& font, double lineSpacing) {
    QVector<QPainterPath> paths;
    double widest = 0;
    for (const QString& line : lines) {
        paths.append(TextPath(line, font));
        widest = std::max(widest, paths.last().boundingRect().width());
    }
    QPainterPath all;
    for (int i = 0; i < paths.size(); ++i) {
        const QRectF bounds = paths[i].boundingRect();
        all.addPath(
            paths[i].translated((widest - bounds.width()) / 2 - bounds.left(), i * lineSpacing));
    }
    return all;
}

// ---------------------------------------------------------------------------------------------
// A chequered cloth waving from a pole

// The cloth at rest is a parallelogram: its attached edge runs from attachTop to attachBottom along
// the pole and it reaches out by `span`. Vertical folds shift each column of cloth up or down and
// light it by the slope of the fold.
struct Cloth {
    QPointF attachTop;
    QPointF attachBottom;
    QPointF span;
    double foldAmplitude;  // pixels at the free edge
    double folds;          // whole waves between pole and free edge
    int columns;           // chequer squares across
    int rows;              // chequer squares down
    QRgb light;            // colour of the light squares in full light
    QRgb dark;

    double Fold(double u) const { return std::sin(2 * M_PI * folds * u); }
    double Slope(double u) const { return std::cos(2 * M_PI * folds * u); }

    // u runs from the pole (0) to the free edge (1), v from the top (0) to the bottom edge (1).
    QPointF At(double u, double v) const {
        const double lift = foldAmplitude * Fold(u) * (0.25 + 0.75 * u);
        return attachTop + (attachBottom - attachTop) * v + span * u + QPointF(0, lift);
    }

    // Light falls from the upper left: folds that face it are brighter.
    QColor Shaded(QRgb colour, double u) const {
        const double light = 0.82 + 0.18 * Slope(u);
        return QColor(qRound(qRed(colour) * light), qRound(qGreen(colour) * light),
                      qRound(qBlue(colour) * light));
    }

    // The outline of the patch [u0,u1] x [v0,v1], its edges followed closely enough to curve.
    QPolygonF Patch(double u0, double u1, double v0, double v1) const {
        constexpr int steps = 6;
        QPolygonF polygon;
        for (int i = 0; i <= steps; ++i) polygon << At(u0 + (u1 - u0) * i / steps, v0);
        for (int i = 0; i <= steps; ++i) polygon << At(u1, v0 + (v1 - v0) * i / steps);
        for (int i = steps; i >= 0; --i) polygon << At(u0 + (u1 - u0) * i / steps, v1);
        for (int i = steps; i >= 0; --i) polygon << At(u0, v0 + (v1 - v0) * i / steps);
        return polygon;
    }

    // Moves a path drawn on the cloth at rest (x across, y down, in pixels of width x height) onto
    // the waving cloth.
    QPainterPath Draped(const QPainterPath& flat, QSizeF restSize) const {
        QPainterPath draped = flat;
        for (int i = 0; i < draped.elementCount(); ++i) {
            const QPainterPath::Element e = draped.elementAt(i);
            const QPointF p = At(e.x / restSize.width(), e.y / restSize.height());
            draped.setElementPositionAt(i, p.x(), p.y());
        }
        return draped;
    }

    void Draw(QPainter& painter) const {
        painter.setPen(Qt::NoPen);
        // An underlay closes the hairline seams between neighbouring squares.
        painter.setBrush(QColor(dark));
        painter.drawPolygon(Patch(0, 1, 0, 1));
        for (int column = 0; column < columns; ++column) {
            const double u0 = double(column) / columns;
            const double u1 = double(column + 1) / columns;
            for (int row = 0; row < rows; ++row) {
                const QRgb base = (row + column) % 2 == 0 ? light : dark;
                painter.setBrush(Shaded(base, (u0 + u1) / 2));
                painter.drawPolygon(Patch(u0, u1, double(row) / rows, double(row + 1) / rows));
            }
        }
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QColor(0x22, 0x22, 0x22), 1.0));
        painter.drawPolygon(Patch(0, 1, 0, 1));
    }
};

// A round pole in greys, lit from the left, with a ball on top.
void DrawPole(QPainter& painter, QPointF top, QPointF bottom, double thickness) {
    const QPointF along = bottom - top;
    const double length = std::hypot(along.x(), along.y());
    const QPointF across(-along.y() / length, along.x() / length);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0x44, 0x44, 0x44), thickness, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(top, bottom);
    painter.setPen(QPen(QColor(0x99, 0x99, 0x99), thickness - 2, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(top, bottom);
    const QPointF shine = across * (thickness / 5.0);
    painter.setPen(QPen(QColor(0xee, 0xee, 0xee), 1.0, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(top - shine, bottom - shine);

    const double radius = thickness * 0.75;
    QRadialGradient ball(top - QPointF(radius / 3, radius / 3), radius * 1.4);
    ball.setColorAt(0, Qt::white);
    ball.setColorAt(1, QColor(0x55, 0x55, 0x55));
    painter.setPen(QPen(QColor(0x33, 0x33, 0x33), 1.0));
    painter.setBrush(ball);
    painter.drawEllipse(top, radius, radius);
}

// ---------------------------------------------------------------------------------------------
// The pictures

QImage StartLogo() {
    QImage image = Blank(LOGO_SIZE);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    const QSizeF rest(164, 72);
    const Cloth cloth{QPointF(9, 16),
                      QPointF(9, 16 + rest.height()),
                      QPointF(rest.width(), 0),
                      6.0,
                      1.25,
                      10,
                      5,
                      qRgb(0xff, 0xff, 0xff),
                      qRgb(0x99, 0x99, 0x99)};
    cloth.Draw(painter);
    DrawPole(painter, QPointF(5, 7), QPointF(5, LOGO_SIZE.height()), 5);

    QFont font("Helvetica");
    font.setPixelSize(40);
    font.setBold(true);
    font.setItalic(true);
    const QPainterPath title = FittedInto(TextPath(GAME_NAME, font),
                                          QRectF(14, 12, rest.width() - 14, rest.height() - 24));
    const QPainterPath draped = cloth.Draped(title, rest);
    // A white rim keeps the dark letters readable over the dark squares.
    painter.setPen(QPen(Qt::white, 4.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(draped);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x11, 0x11, 0x11));
    painter.drawPath(draped);
    painter.end();
    return Snapped(image, GreyPalette());
}

// The left flag of the pair; the right one is its mirror image.
void DrawLeftFlag(QPainter& painter) {
    const QPointF poleTop(97, 16);
    // Both run past the flags' box, which clips them.
    const QPointF poleBottom(152, FLAGS_BOX.bottom + 4);
    const double attached = 0.42;  // share of the pole that carries the cloth
    const QPointF attachTop = poleTop + QPointF(1, 3);
    const QPointF attachBottom = poleTop + (poleBottom - poleTop) * attached;
    const Cloth cloth{attachTop,
                      attachBottom,
                      QPointF(FLAGS_BOX.left - attachTop.x() - 2, 4),
                      4.5,
                      1.0,
                      7,
                      5,
                      qRgb(0xff, 0xff, 0xff),
                      qRgb(0x11, 0x11, 0x11)};
    cloth.Draw(painter);
    DrawPole(painter, poleTop, poleBottom, 5);
}

QImage CrossedFlags() {
    QImage left = Blank(RESULT_SIZE);
    {
        QPainter painter(&left);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setClipRect(FLAGS_BOX.rect());
        DrawLeftFlag(painter);
    }
    // Mirrored about the centre of the flags' columns, so both flags span the same box.
    const QImage mirrored = left.mirrored(true, false);
    const int shift = (FLAGS_BOX.left + FLAGS_BOX.right) - (RESULT_SIZE.width() - 1);
    QImage both = Blank(RESULT_SIZE);
    QPainter painter(&both);
    painter.drawImage(shift, 0, mirrored);
    painter.drawImage(0, 0, left);
    painter.end();
    // Greys only, so that no fold of the cloth takes the board's tinted grey.
    return Snapped(both, GreyPalette());
}

void DrawBoard(QPainter& painter, const InkBox& box) {
    const QRectF outer = box.rect();
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(outer, 6, 6);
    painter.setBrush(QColor(BOARD_GREY));
    painter.drawRoundedRect(outer.adjusted(3, 3, -3, -3), 4, 4);

    constexpr double inset = 9;
    constexpr double radius = 2.5;
    for (const QPointF corner :
         {outer.topLeft(), outer.topRight(), outer.bottomRight(), outer.bottomLeft()}) {
        const QPointF centre(
            corner.x() < outer.center().x() ? corner.x() + inset : corner.x() - inset,
            corner.y() < outer.center().y() ? corner.y() + inset : corner.y() - inset);
        QRadialGradient rivet(centre - QPointF(1, 1), radius * 1.6);
        rivet.setColorAt(0, Qt::white);
        rivet.setColorAt(1, QColor(0x66, 0x66, 0x66));
        painter.setBrush(rivet);
        painter.setPen(QPen(QColor(0x55, 0x55, 0x55), 0.8));
        painter.drawEllipse(centre, radius, radius);
    }
}

void DrawWinner(QPainter& painter) {
    QFont script("Z003");
    script.setPixelSize(60);
    QPainterPath word = TextPath("Winner", script);
    QTransform rise;
    rise.rotate(-14);
    word = rise.map(word);
    constexpr double rim = 2.5;
    const QRectF box = WINNER_BOX.rect().adjusted(rim, rim, -rim, -rim);
    word = FittedInto(word, box);
    painter.setPen(QPen(Qt::white, 2 * rim, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(word);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(WINNER_BLUE));
    painter.drawPath(word);
}

QImage ResultPicture(bool won) {
    QImage image = CrossedFlags();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    if (won) {
        DrawWinner(painter);
    }
    DrawBoard(painter, won ? WON_BOARD : COMPLETED_BOARD);
    painter.end();
    return Snapped(image, ResultPalette());
}

// Two colours only: the lettering is drawn without smoothing.
QImage TrackNotAvailable() {
    QImage image = Blank(NOT_AVAILABLE_SIZE);
    QFont font("Helvetica");
    font.setPixelSize(40);
    font.setBold(true);
    font.setItalic(true);
    const QPainterPath lines = CentredLines({"Track Image", "Not", "Available"}, font, 44);
    // Keeps the rasterised edge inside the ink box.
    const QRectF box = NOT_AVAILABLE_INK.rect().adjusted(0.5, 0.5, -0.5, -0.5);
    QPainter painter(&image);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(NOT_AVAILABLE_YELLOW));
    painter.drawPath(FilledInto(lines, box));
    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

struct Picture {
    const char* fileName;
    const char* arrayName;
    std::function<QImage()> draw;
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s <xpm-folder> [<png-folder>]\n", argv[0]);
        return 2;
    }
    const QDir xpmFolder(QString::fromLocal8Bit(argv[1]));
    const QString pngFolder = argc == 3 ? QString::fromLocal8Bit(argv[2]) : QString();

    const Picture pictures[] = {
        {"start_logo", "start_logo_xpm", StartLogo},
        {"race_won", "race_won_xpm", [] { return ResultPicture(true); }},
        {"race_completed", "race_completed_xpm", [] { return ResultPicture(false); }},
        {"track_not_available", "track_not_available_xpm", TrackNotAvailable},
    };
    for (const Picture& picture : pictures) {
        const QImage image = picture.draw();
        const QString xpmPath = xpmFolder.filePath(QString(picture.fileName) + ".xpm");
        if (!XpmWriter(picture.arrayName).write(image, xpmPath)) {
            std::fprintf(stderr, "could not write %s\n", qPrintable(xpmPath));
            return 1;
        }
        if (!pngFolder.isEmpty()) {
            const QString pngPath = QDir(pngFolder).filePath(QString(picture.fileName) + ".png");
            if (!image.save(pngPath)) {
                std::fprintf(stderr, "could not write %s\n", qPrintable(pngPath));
                return 1;
            }
        }
    }
    return 0;
}
