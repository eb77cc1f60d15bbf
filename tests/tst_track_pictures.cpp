// The built-in track piece pictures against their drawing rules, their neighbours and their
// surface maps.

#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <functional>

#include "graphics/TrackPictures.h"
#include "track/PieceCatalogue.h"
#include "track/SurfaceMaps.h"

namespace {

constexpr int W = 75;
constexpr int H = 73;

// Each colour of the pictures as one letter, so that lines of pixels read as strings.
struct Colour {
    QRgb rgb;
    char letter;
};
constexpr Colour kPalette[] = {{0xff008000, 'g'},  // grass
                               {0xff808080, 'r'},  // road
                               {0xffc7c7c7, 'k'},  // kerb
                               {0xff000000, 'b'},  // black
                               {0xffffffff, 'w'},  // white
                               {0xff848284, 'd'},  // bridge deck
                               {0xffffff00, 'y'}};
constexpr char kTransparent = ' ';
constexpr char kUnknown = '?';

class Picture {
  public:
    explicit Picture(TrackPicture picture)
        : image(QImage(TrackPictureXpm(picture)).convertToFormat(QImage::Format_ARGB32)) {}
    explicit Picture(QImage image) : image(std::move(image)) {}

    char at(int x, int y) const {
        const QRgb pixel = image.pixel(x, y);
        if (qAlpha(pixel) == 0) {
            return kTransparent;
        }
        for (const Colour& colour : kPalette) {
            if (colour.rgb == pixel) {
                return colour.letter;
            }
        }
        return kUnknown;
    }
    // The pixels of a row or column, to its end when no last pixel is given.
    QString row(int y, int first = 0, int last = -1) const {
        QString text;
        for (int x = first; x <= (last < 0 ? image.width() - 1 : last); ++x) {
            text += at(x, y);
        }
        return text;
    }
    QString column(int x, int first = 0, int last = -1) const {
        QString text;
        for (int y = first; y <= (last < 0 ? image.height() - 1 : last); ++y) {
            text += at(x, y);
        }
        return text;
    }
    const QImage& qimage() const { return image; }

  private:
    QImage image;
};

// Two pieces side by side or one above the other on the race canvas's grass.
Picture Joined(TrackPicture first, TrackPicture second, Qt::Orientation direction) {
    const bool across = direction == Qt::Horizontal;
    QImage scene(across ? 2 * W : W, across ? H : 2 * H, QImage::Format_ARGB32);
    scene.fill(kPalette[0].rgb);
    QPainter painter(&scene);
    painter.drawImage(0, 0, Picture(first).qimage());
    painter.drawImage(across ? W : 0, across ? 0 : H, Picture(second).qimage());
    painter.end();
    return Picture(scene);
}

QString Where(int x, int y) {
    return QStringLiteral("pixel (%1, %2)").arg(x).arg(y);
}

QString Repeat(char letter, int count) {
    return QString(count, QLatin1Char(letter));
}

bool InSpans(int value, std::initializer_list<std::pair<int, int>> spans) {
    return std::any_of(spans.begin(), spans.end(),
                       [value](const auto& s) { return value >= s.first && value <= s.second; });
}

int FloorDiv(int value, int divisor) {
    return static_cast<int>(std::floor(double(value) / divisor));
}

// A start picture is its base picture with the pixels of one surface colour inside the area turned
// into 2x2 squares, white where the square lies an even number of squares from whiteSquare.
void CheckChequer(TrackPicture startKind, TrackPicture baseKind, const QRect& area, char surface,
                  QPoint whiteSquare) {
    const Picture start(startKind);
    const Picture base(baseKind);
    int whites = 0;
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            char expected = base.at(x, y);
            if (area.contains(x, y) && expected == surface) {
                const int square =
                    FloorDiv(x - whiteSquare.x(), 2) + FloorDiv(y - whiteSquare.y(), 2);
                expected = square % 2 == 0 ? 'w' : surface;
            }
            whites += expected == 'w';
            QVERIFY2(start.at(x, y) == expected, qPrintable(Where(x, y)));
        }
    }
    QVERIFY(whites > 20);
}

// A line across a bridge: transparent, rail, edge, deck, edge, rail, transparent. Where the deck
// widens by `widening` the rails narrow by as much and are black with a few yellow pixels.
void CheckBridgeLine(const QString& line, int deckWidth, int widening, const QString& where) {
    const int rail = 5 - widening;
    const QRegularExpression pattern(QStringLiteral("^ {6}([by]{%1})b[dw]{%2}b([by]{%1}) {6}$")
                                         .arg(rail)
                                         .arg(deckWidth + 2 * widening));
    const QRegularExpressionMatch match = pattern.match(line);
    QVERIFY2(match.hasMatch(), qPrintable(where + ": '" + line + "'"));
    if (widening > 0) {
        for (const QString& taper : {match.captured(1), match.captured(2)}) {
            QVERIFY2(taper.count('y') <= 1, qPrintable(where + ": '" + line + "'"));
        }
    }
}

// Whether a rail line is stripes of three yellow and three black pixels, repeating every six.
bool InRunsOfThree(const QString& line) {
    return line.mid(6) == line.left(line.size() - 6) && line.contains("yyy") &&
           line.contains("bbb") && !line.contains("yyyy") && !line.contains("bbbb");
}

// Where the track crosses one edge of a picture: the span that is neither grass nor transparent
// (road with its kerbs or rim) and the span of road, which must be unbroken.
struct EdgeProfile {
    qsizetype bandFirst, bandLast, roadFirst, roadLast;
};

EdgeProfile ProfileOf(const QString& edge) {
    const QRegularExpression track(QStringLiteral("[^ g]"));
    const EdgeProfile profile{edge.indexOf(track), edge.lastIndexOf(track), edge.indexOf('r'),
                              edge.lastIndexOf('r')};
    const QString road = edge.mid(profile.roadFirst, profile.roadLast - profile.roadFirst + 1);
    return road.count('r') == road.size() ? profile : EdgeProfile{-1, -1, -1, -1};
}

// Whether some pixel within `reach` of (x, y), in both directions, passes the test.
bool Near(int x, int y, int reach, const std::function<bool(int, int)>& test) {
    for (int ny = std::max(0, y - reach); ny <= std::min(H - 1, y + reach); ++ny) {
        for (int nx = std::max(0, x - reach); nx <= std::min(W - 1, x + reach); ++nx) {
            if (test(nx, ny)) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

class TrackPicturesTest : public QObject {
    Q_OBJECT

  private slots:
    void everyPictureIsAWholeCellInTheGamesColours();
    void straightsFollowTheirKerbRules();
    void startPiecesLayAChequerOverTheirPiece();
    void bridgesShowTheGroundOutsideDeckAndRails();
    void cornersFollowTheirCirclesAndMirrorEachOther();
    void kerbsContinueAcrossStartJoins();
    void cornerRoadsMeetTheStraights();
    void picturesAgreeWithTheirSurfaceMaps();
};

void TrackPicturesTest::everyPictureIsAWholeCellInTheGamesColours() {
    // Ground straights cover their cell; corners and bridges let what lies below show.
    const QList<TrackPicture> opaque{TrackPicture::Grass, TrackPicture::VerticalTrack,
                                     TrackPicture::HorizontalTrack, TrackPicture::HorizontalStart,
                                     TrackPicture::VerticalStart};
    QList<QImage> seen;
    for (int i = 0; i < TRACK_PICTURE_COUNT; ++i) {
        const auto kind = static_cast<TrackPicture>(i);
        QVERIFY(TrackPictureXpm(kind) != nullptr);
        const Picture picture(kind);
        QCOMPARE(picture.qimage().size(), QSize(W, H));
        int transparent = 0;
        for (int y = 0; y < H; ++y) {
            QVERIFY2(!picture.row(y).contains(kUnknown), qPrintable(QString("row %1").arg(y)));
            transparent += picture.row(y).count(kTransparent);
        }
        QCOMPARE(transparent == 0, opaque.contains(kind));
        QVERIFY2(!seen.contains(picture.qimage()), "two pictures share the same data");
        seen.append(picture.qimage());
    }
    QCOMPARE(TrackPictureXpm(static_cast<TrackPicture>(TRACK_PICTURE_COUNT)), nullptr);
    for (int y = 0; y < H; ++y) {
        QCOMPARE(Picture(TrackPicture::Grass).row(y), Repeat('g', W));
    }
}

void TrackPicturesTest::straightsFollowTheirKerbRules() {
    const Picture vertical(TrackPicture::VerticalTrack);
    for (int y = 0; y < H; ++y) {
        const bool striped = InSpans(y, {{0, 1}, {14, 16}, {29, 31}, {44, 46}, {59, 61}, {71, 72}});
        const QString stripe = Repeat(striped ? 'k' : 'g', 2);
        QCOMPARE(vertical.row(y),
                 Repeat('g', 6) + 'k' + stripe + Repeat('r', 57) + stripe + 'k' + Repeat('g', 6));
    }
    const Picture horizontal(TrackPicture::HorizontalTrack);
    for (int x = 0; x < W; ++x) {
        const bool striped = InSpans(x, {{0, 1}, {13, 15}, {28, 30}, {44, 46}, {60, 62}, {73, 74}});
        const QString stripe = Repeat(striped ? 'k' : 'g', 2);
        QCOMPARE(horizontal.column(x),
                 Repeat('g', 5) + 'k' + stripe + Repeat('r', 57) + stripe + 'k' + Repeat('g', 5));
    }
}

void TrackPicturesTest::startPiecesLayAChequerOverTheirPiece() {
    CheckChequer(TrackPicture::VerticalStart, TrackPicture::VerticalTrack,
                 QRect(QPoint(9, 55), QPoint(65, 72)), 'r', QPoint(9, 55));
    CheckChequer(TrackPicture::HorizontalStart, TrackPicture::HorizontalTrack,
                 QRect(QPoint(63, 8), QPoint(74, 64)), 'r', QPoint(63, 8));
    // On the deck the squares start at the deck's first column, as on the road.
    CheckChequer(TrackPicture::VerticalStartBridge, TrackPicture::VerticalBridge,
                 QRect(QPoint(0, 55), QPoint(74, 72)), 'd', QPoint(12, 55));
    // The corner start continues the squares of the vertical start across its bottom leg.
    CheckChequer(TrackPicture::UpperRightStart, TrackPicture::UpperRight,
                 QRect(QPoint(0, 65), QPoint(74, 72)), 'r', QPoint(9, 55));
}

void TrackPicturesTest::bridgesShowTheGroundOutsideDeckAndRails() {
    // The left rail of the vertical bridge in the six rows of its cycle, from row 6 on.
    const QString railCycle[] = {"yybbb", "bbbbb", "bbbbb", "bbyyy", "yyyyy", "yyyyy"};
    const Picture vertical(TrackPicture::VerticalBridge);
    for (int y = 0; y < H; ++y) {
        const int widening = std::max({0, 5 - y, y - 67});
        CheckBridgeLine(vertical.row(y), 51, widening, QString("row %1").arg(y));
        if (QTest::currentTestFailed()) {
            return;
        }
        if (widening == 0) {
            const QString rail = railCycle[(y - 6 + 6) % 6];  // row 5 ends the cycle before row 6
            QString mirrored = rail;
            std::reverse(mirrored.begin(), mirrored.end());
            QCOMPARE(vertical.row(y, 6, 10), rail);
            QCOMPARE(vertical.row(y, 64, 68), mirrored);
        }
    }

    const Picture horizontal(TrackPicture::HorizontalBridge);
    for (int x = 0; x < W; ++x) {
        CheckBridgeLine(horizontal.column(x), 49, std::max({0, 5 - x, x - 69}),
                        QString("column %1").arg(x));
        if (QTest::currentTestFailed()) {
            return;
        }
    }
    // Each rail has stripes of three black and three yellow columns; its two outer rows agree, its
    // three rows next to the deck agree, and the two are one column apart, so the stripes slant.
    for (const int outerRow : {6, 66}) {
        const int inward = outerRow == 6 ? 1 : -1;
        const QString outer = horizontal.row(outerRow, 5, 69);
        const QString inner = horizontal.row(outerRow + 2 * inward, 5, 69);
        QCOMPARE(horizontal.row(outerRow + inward, 5, 69), outer);
        QCOMPARE(horizontal.row(outerRow + 3 * inward, 5, 69), inner);
        QCOMPARE(horizontal.row(outerRow + 4 * inward, 5, 69), inner);
        QVERIFY2(InRunsOfThree(outer), qPrintable(outer));
        QVERIFY2(InRunsOfThree(inner), qPrintable(inner));
        QVERIFY2(outer.mid(1) == inner.left(inner.size() - 1) ||
                     inner.mid(1) == outer.left(outer.size() - 1),
                 qPrintable(outer + " / " + inner));
    }
}

void TrackPicturesTest::cornersFollowTheirCirclesAndMirrorEachOther() {
    const Picture corner(TrackPicture::UpperRight);
    const double road = 64.7;
    const double rim = 69.4;
    int innerTriangle = 0;
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            const char colour = corner.at(x, y);
            const double fromRoadCentre = std::hypot(x, y - 73.0);
            const double fromRimCentre = std::hypot(x - 0.5, y - 72.0);
            // Pixels within a pixel of a circle may take the colour on either side of it.
            QString allowed = "r";
            if (y <= 4 || fromRimCentre > rim + 1) {
                allowed = " ";
            } else if (y >= 69 && x <= y - 68) {
                allowed = " ";
                ++innerTriangle;
            } else if (fromRimCentre > rim - 1) {
                allowed = "b ";
            } else if (y <= 8 || fromRoadCentre > road + 1) {
                allowed = "b";  // rows 5-8 continue the kerb of the straight to the left
            } else if (fromRoadCentre > road - 1) {
                allowed = "rb";
            }
            QVERIFY2(allowed.contains(colour), qPrintable(Where(x, y) + ": " + colour));
        }
    }
    QCOMPARE(innerTriangle, 14);
    for (int y = 69; y < H; ++y) {
        QCOMPARE(corner.at(y - 67, y), 'r');  // the triangle ends where the road begins
    }
    QCOMPARE(corner.column(0, 5, 8), QString("bbbb"));

    const Picture upperLeft(TrackPicture::UpperLeft);
    const Picture lowerRight(TrackPicture::LowerRight);
    const Picture lowerLeft(TrackPicture::LowerLeft);
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            QVERIFY2(upperLeft.at(x, y) == corner.at(74 - x, y), qPrintable(Where(x, y)));
            QVERIFY2(lowerRight.at(x, y) == corner.at(x, 72 - y), qPrintable(Where(x, y)));
            QVERIFY2(lowerLeft.at(x, y) == corner.at(74 - x, 72 - y), qPrintable(Where(x, y)));
        }
    }
}

void TrackPicturesTest::kerbsContinueAcrossStartJoins() {
    for (const bool startFirst : {false, true}) {
        const TrackPicture verticals[] = {TrackPicture::VerticalTrack, TrackPicture::VerticalStart};
        const Picture column = Joined(verticals[startFirst], verticals[!startFirst], Qt::Vertical);
        QCOMPARE(column.column(6), Repeat('k', 2 * H));
        QCOMPARE(column.column(68), Repeat('k', 2 * H));
        // The last stripe of one piece and the first of the next make one stripe of four rows.
        QCOMPARE(column.column(7, H - 3, H + 2), QString("gkkkkg"));
        QCOMPARE(column.column(67, H - 3, H + 2), QString("gkkkkg"));

        const TrackPicture horizontals[] = {TrackPicture::HorizontalTrack,
                                            TrackPicture::HorizontalStart};
        const Picture row =
            Joined(horizontals[startFirst], horizontals[!startFirst], Qt::Horizontal);
        QCOMPARE(row.row(5), Repeat('k', 2 * W));
        QCOMPARE(row.row(67), Repeat('k', 2 * W));
        QCOMPARE(row.row(6, W - 3, W + 2), QString("gkkkkg"));
        QCOMPARE(row.row(66, W - 3, W + 2), QString("gkkkkg"));
    }
}

void TrackPicturesTest::cornerRoadsMeetTheStraights() {
    const Picture horizontal(TrackPicture::HorizontalTrack);
    const Picture vertical(TrackPicture::VerticalTrack);
    // Each corner's two open edges, and the facing edge of the straight that meets it there.
    const struct {
        TrackPicture corner;
        bool atRight;
        bool atBottom;
    } corners[] = {{TrackPicture::UpperRight, false, true},
                   {TrackPicture::LowerRight, false, false},
                   {TrackPicture::UpperLeft, true, true},
                   {TrackPicture::LowerLeft, true, false}};
    for (const auto& entry : corners) {
        const Picture corner(entry.corner);
        const std::pair<QString, QString> meetings[] = {
            {corner.column(entry.atRight ? W - 1 : 0),
             horizontal.column(entry.atRight ? 0 : W - 1)},
            {corner.row(entry.atBottom ? H - 1 : 0), vertical.row(entry.atBottom ? 0 : H - 1)}};
        for (const auto& [mine, theirs] : meetings) {
            const EdgeProfile cornerEdge = ProfileOf(mine);
            const EdgeProfile straightEdge = ProfileOf(theirs);
            const QString what =
                QString("corner %1: '%2' against '%3'").arg(int(entry.corner)).arg(mine, theirs);
            QVERIFY2(cornerEdge.roadFirst >= 0, qPrintable(what));
            QVERIFY2(std::abs(cornerEdge.bandFirst - straightEdge.bandFirst) <= 1,
                     qPrintable(what));
            QVERIFY2(std::abs(cornerEdge.bandLast - straightEdge.bandLast) <= 1, qPrintable(what));
            // The straight's road runs on into the corner's road, give or take a pixel.
            QVERIFY2(cornerEdge.roadFirst <= straightEdge.roadFirst + 1, qPrintable(what));
            QVERIFY2(cornerEdge.roadLast >= straightEdge.roadLast - 1, qPrintable(what));
        }
    }
}

void TrackPicturesTest::picturesAgreeWithTheirSurfaceMaps() {
    for (int kind = pieceGrass; kind < pieceNone; ++kind) {
        const PieceEntry& entry = PieceCatalogueEntry(kind);
        QVERIFY(entry.hasPicture);
        const Picture picture(entry.picture);
        const SurfaceMap& map = BuiltInSurfaceMap(entry.surfaceMap);
        const bool corner = (entry.roadEdges & (edgeLeft | edgeRight)) != 0 &&
                            (entry.roadEdges & (edgeTop | edgeBottom)) != 0;
        // The corner maps leave out the short diagonal of the inner kerb, drawn as road.
        const int reach = corner ? 3 : 1;
        const auto mapRoad = [&map](int x, int y) { return map.value[y][x] != Surface::OffRoad; };
        const auto drawn = [&picture](int x, int y) {
            return picture.at(x, y) != kTransparent && picture.at(x, y) != 'g';
        };
        for (int y = 0; y < H; ++y) {
            for (int x = 0; x < W; ++x) {
                const QString where = QString("kind %1 ").arg(kind) + Where(x, y);
                if (QString("rdw").contains(picture.at(x, y))) {
                    QVERIFY2(Near(x, y, reach, mapRoad), qPrintable(where + ": road off the map"));
                }
                if (mapRoad(x, y)) {
                    QVERIFY2(Near(x, y, 1, drawn), qPrintable(where + ": map road not drawn"));
                }
            }
        }
    }
}

QTEST_MAIN(TrackPicturesTest)
#include "tst_track_pictures.moc"
