// The built-in track piece pictures: sizes, colours, the drawing rules of each piece, and that
// neighbouring pieces and the surface maps agree with them.

#include <QImage>
#include <QPainter>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "graphics/TrackPictures.h"
#include "track/PieceCatalogue.h"
#include "track/SurfaceMaps.h"

namespace {

constexpr int W = 75;
constexpr int H = 73;

constexpr QRgb kNone = 0;
constexpr QRgb kGrass = 0xff008000;
constexpr QRgb kRoad = 0xff808080;
constexpr QRgb kKerb = 0xffc7c7c7;
constexpr QRgb kBlack = 0xff000000;
constexpr QRgb kWhite = 0xffffffff;
constexpr QRgb kDeck = 0xff848284;
constexpr QRgb kYellow = 0xffffff00;

constexpr TrackPicture kAllPictures[] = {TrackPicture::Grass,
                                         TrackPicture::VerticalTrack,
                                         TrackPicture::VerticalBridge,
                                         TrackPicture::HorizontalTrack,
                                         TrackPicture::HorizontalBridge,
                                         TrackPicture::HorizontalStart,
                                         TrackPicture::UpperRight,
                                         TrackPicture::LowerRight,
                                         TrackPicture::UpperLeft,
                                         TrackPicture::LowerLeft,
                                         TrackPicture::VerticalStart,
                                         TrackPicture::VerticalStartBridge,
                                         TrackPicture::UpperRightStart};

// A picture with every transparent pixel read as kNone, whatever colour the XPM reader gives it.
class Picture {
  public:
    explicit Picture(TrackPicture picture)
        : image(QImage(TrackPictureXpm(picture)).convertToFormat(QImage::Format_ARGB32)) {}
    explicit Picture(QImage image) : image(std::move(image)) {}

    QRgb at(int x, int y) const {
        const QRgb pixel = image.pixel(x, y);
        return qAlpha(pixel) == 0 ? kNone : pixel;
    }
    int width() const { return image.width(); }
    int height() const { return image.height(); }
    const QImage& qimage() const { return image; }

  private:
    QImage image;
};

// Pieces put side by side (or one above the other) as on the race canvas, over the grass.
Picture Joined(TrackPicture first, TrackPicture second, Qt::Orientation direction) {
    const bool across = direction == Qt::Horizontal;
    QImage scene(across ? 2 * W : W, across ? H : 2 * H, QImage::Format_ARGB32);
    scene.fill(kGrass);
    QPainter painter(&scene);
    painter.drawImage(0, 0, Picture(first).qimage());
    painter.drawImage(across ? W : 0, across ? 0 : H, Picture(second).qimage());
    painter.end();
    return Picture(scene);
}

QString Where(int x, int y) {
    return QStringLiteral("pixel (%1, %2)").arg(x).arg(y);
}

QString Hex(QRgb colour) {
    return QStringLiteral("#%1").arg(colour, 8, 16, QLatin1Char('0'));
}

bool InRows(int value, std::initializer_list<std::pair<int, int>> ranges) {
    return std::any_of(ranges.begin(), ranges.end(),
                       [value](const auto& r) { return value >= r.first && value <= r.second; });
}

int FloorDiv(int value, int divisor) {
    return static_cast<int>(std::floor(double(value) / divisor));
}

// Where pixel (x, y) lies: 0 on the white squares of a chequer of 2x2 squares whose white square
// starts at anchor, 1 on the others.
int ChequerParity(int x, int y, QPoint anchor) {
    return (FloorDiv(x - anchor.x(), 2) + FloorDiv(y - anchor.y(), 2)) & 1;
}

// A start picture is its base picture with the given surface colour turned into a chequer inside
// the area; every other pixel is the base picture's.
void CheckChequer(const Picture& start, const Picture& base, const QRect& area, QRgb surface,
                  QPoint whiteSquare) {
    int whites = 0;
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            QRgb expected = base.at(x, y);
            if (area.contains(x, y) && expected == surface) {
                expected = ChequerParity(x, y, whiteSquare) == 0 ? kWhite : surface;
            }
            whites += expected == kWhite;
            QVERIFY2(
                start.at(x, y) == expected,
                qPrintable(Where(x, y) + " is " + Hex(start.at(x, y)) + ", not " + Hex(expected)));
        }
    }
    QVERIFY(whites > 20);
}

// Along one edge of a picture: the span of pixels that are not grass or transparent (the track
// with its kerbs or rim), and the span of road.
struct EdgeProfile {
    int bandFirst = -1;
    int bandLast = -1;
    int roadFirst = -1;
    int roadLast = -1;
    bool roadContiguous = true;
};

EdgeProfile ProfileOf(const Picture& picture, bool column, int line) {
    EdgeProfile profile;
    const int length = column ? H : W;
    int previousRoad = -1;
    for (int i = 0; i < length; ++i) {
        const QRgb colour = column ? picture.at(line, i) : picture.at(i, line);
        if (colour != kNone && colour != kGrass) {
            if (profile.bandFirst < 0) {
                profile.bandFirst = i;
            }
            profile.bandLast = i;
        }
        if (colour == kRoad) {
            if (profile.roadFirst < 0) {
                profile.roadFirst = i;
            } else if (previousRoad != i - 1) {
                profile.roadContiguous = false;
            }
            profile.roadLast = i;
            previousRoad = i;
        }
    }
    return profile;
}

// The rail pixels where a bridge's rails narrow to nothing, counted per end and side: black with
// a few yellow pixels.
class Tapers {
  public:
    void count(bool farEnd, bool farSide, QRgb colour) {
        Taper& taper = tapers[farEnd * 2 + farSide];
        (colour == kYellow ? taper.yellow : taper.black) += 1;
    }
    bool mostlyBlack() const {
        return std::all_of(std::begin(tapers), std::end(tapers), [](const Taper& taper) {
            return taper.black > 0 && taper.yellow < taper.black;
        });
    }

  private:
    struct Taper {
        int yellow = 0;
        int black = 0;
    };
    Taper tapers[4];
};

bool IsDrivingSurface(QRgb colour) {
    return colour == kRoad || colour == kDeck || colour == kWhite;
}

bool IsDrawnTrack(QRgb colour) {
    return colour != kNone && colour != kGrass;
}

// Whether some pixel within `reach` (in both directions) of (x, y) passes the test.
bool Near(int x, int y, int reach, const std::function<bool(int, int)>& test) {
    for (int dy = -reach; dy <= reach; ++dy) {
        for (int dx = -reach; dx <= reach; ++dx) {
            const int nx = x + dx;
            const int ny = y + dy;
            if (nx >= 0 && nx < W && ny >= 0 && ny < H && test(nx, ny)) {
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
    const QList<QRgb> palette{kNone, kGrass, kRoad, kKerb, kBlack, kWhite, kDeck, kYellow};
    // Ground straights cover their cell; corners and bridges let what lies below show.
    const QList<TrackPicture> opaque{TrackPicture::Grass, TrackPicture::VerticalTrack,
                                     TrackPicture::HorizontalTrack, TrackPicture::HorizontalStart,
                                     TrackPicture::VerticalStart};
    std::vector<QImage> seen;
    for (const TrackPicture kind : kAllPictures) {
        QVERIFY(TrackPictureXpm(kind) != nullptr);
        const Picture picture(kind);
        QCOMPARE(picture.width(), W);
        QCOMPARE(picture.height(), H);
        int transparent = 0;
        for (int y = 0; y < H; ++y) {
            for (int x = 0; x < W; ++x) {
                QVERIFY2(palette.contains(picture.at(x, y)), qPrintable(Where(x, y)));
                transparent += picture.at(x, y) == kNone;
            }
        }
        QCOMPARE(transparent == 0, opaque.contains(kind));
        for (const QImage& other : seen) {
            QVERIFY2(other != picture.qimage(), "two pictures share the same data");
        }
        seen.push_back(picture.qimage());
    }
    QCOMPARE(TrackPictureXpm(static_cast<TrackPicture>(TRACK_PICTURE_COUNT)), nullptr);

    const Picture grass(TrackPicture::Grass);
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            QCOMPARE(grass.at(x, y), kGrass);
        }
    }
}

void TrackPicturesTest::straightsFollowTheirKerbRules() {
    const Picture vertical(TrackPicture::VerticalTrack);
    for (int y = 0; y < H; ++y) {
        const bool stripe = InRows(y, {{0, 1}, {14, 16}, {29, 31}, {44, 46}, {59, 61}, {71, 72}});
        for (int x = 0; x < W; ++x) {
            QRgb expected = kRoad;
            if (x <= 5 || x >= 69) {
                expected = kGrass;
            } else if (x == 6 || x == 68) {
                expected = kKerb;
            } else if (x <= 8 || x >= 66) {
                expected = stripe ? kKerb : kGrass;
            }
            QVERIFY2(vertical.at(x, y) == expected, qPrintable("vertical " + Where(x, y)));
        }
    }

    const Picture horizontal(TrackPicture::HorizontalTrack);
    for (int x = 0; x < W; ++x) {
        const bool stripe = InRows(x, {{0, 1}, {13, 15}, {28, 30}, {44, 46}, {60, 62}, {73, 74}});
        for (int y = 0; y < H; ++y) {
            QRgb expected = kRoad;
            if (y <= 4 || y >= 68) {
                expected = kGrass;
            } else if (y == 5 || y == 67) {
                expected = kKerb;
            } else if (y <= 7 || y >= 65) {
                expected = stripe ? kKerb : kGrass;
            }
            QVERIFY2(horizontal.at(x, y) == expected, qPrintable("horizontal " + Where(x, y)));
        }
    }
}

void TrackPicturesTest::startPiecesLayAChequerOverTheirPiece() {
    const Picture verticalStart(TrackPicture::VerticalStart);
    QCOMPARE(verticalStart.at(9, 55), kWhite);
    CheckChequer(verticalStart, Picture(TrackPicture::VerticalTrack),
                 QRect(QPoint(9, 55), QPoint(65, 72)), kRoad, QPoint(9, 55));

    const Picture horizontalStart(TrackPicture::HorizontalStart);
    QCOMPARE(horizontalStart.at(63, 8), kWhite);
    CheckChequer(horizontalStart, Picture(TrackPicture::HorizontalTrack),
                 QRect(QPoint(63, 8), QPoint(74, 64)), kRoad, QPoint(63, 8));

    // On the deck the chequer starts at the deck's first column, as on the road.
    CheckChequer(Picture(TrackPicture::VerticalStartBridge), Picture(TrackPicture::VerticalBridge),
                 QRect(QPoint(0, 55), QPoint(74, 72)), kDeck, QPoint(12, 55));

    // The corner start continues the squares of the vertical start across its bottom leg.
    CheckChequer(Picture(TrackPicture::UpperRightStart), Picture(TrackPicture::UpperRight),
                 QRect(QPoint(0, 65), QPoint(74, 72)), kRoad, QPoint(9, 55));
}

void TrackPicturesTest::bridgesShowTheGroundOutsideDeckAndRails() {
    // The left rail of the vertical bridge over one cycle of six rows starting at row 6.
    const QRgb Y = kYellow;
    const QRgb B = kBlack;
    const QRgb railCycle[6][5] = {{Y, Y, B, B, B}, {B, B, B, B, B}, {B, B, B, B, B},
                                  {B, B, Y, Y, Y}, {Y, Y, Y, Y, Y}, {Y, Y, Y, Y, Y}};

    for (const TrackPicture kind :
         {TrackPicture::VerticalBridge, TrackPicture::VerticalStartBridge}) {
        const Picture bridge(kind);
        const bool start = kind == TrackPicture::VerticalStartBridge;
        Tapers tapers;
        for (int y = 0; y < H; ++y) {
            const int widening = std::max({0, 5 - y, y - 67});
            for (int x = 0; x < W; ++x) {
                const QRgb colour = bridge.at(x, y);
                const QString where = Where(x, y);
                const int side = std::min(x, 74 - x);  // the right side mirrors the left
                if (side <= 5) {
                    QVERIFY2(colour == kNone, qPrintable(where));
                } else if (side > 11 - widening) {
                    const bool onStartLine = start && y >= 55 && colour == kWhite;
                    QVERIFY2(colour == kDeck || onStartLine, qPrintable(where));
                } else if (side == 11 - widening) {
                    QVERIFY2(colour == kBlack, qPrintable(where));
                } else if (widening == 0) {
                    const int cycleRow = ((y - 6) % 6 + 6) % 6;
                    QVERIFY2(colour == railCycle[cycleRow][side - 6], qPrintable(where));
                } else {
                    QVERIFY2(colour == kYellow || colour == kBlack, qPrintable(where));
                    tapers.count(y > H / 2, x > W / 2, colour);
                }
            }
        }
        QVERIFY(tapers.mostlyBlack());
    }

    const Picture horizontal(TrackPicture::HorizontalBridge);
    Tapers tapers;
    for (int x = 0; x < W; ++x) {
        const int widening = std::max({0, 5 - x, x - 69});
        for (int y = 0; y < H; ++y) {
            const QRgb colour = horizontal.at(x, y);
            const int side = std::min(y, 72 - y);
            if (side <= 5) {
                QVERIFY2(colour == kNone, qPrintable(Where(x, y)));
            } else if (side > 11 - widening) {
                QVERIFY2(colour == kDeck, qPrintable(Where(x, y)));
            } else if (side == 11 - widening) {
                QVERIFY2(colour == kBlack, qPrintable(Where(x, y)));
            } else {
                QVERIFY2(colour == kYellow || colour == kBlack, qPrintable(Where(x, y)));
                if (widening > 0) {
                    tapers.count(x > W / 2, y > H / 2, colour);
                }
            }
        }
    }
    QVERIFY(tapers.mostlyBlack());
    // Along the full-width part of each rail: runs of three black and three yellow columns; the
    // two outer rows agree, the three rows next to the deck agree, and the two are one column
    // apart, so the stripes slant.
    for (const int outerRow : {6, 66}) {
        const int inward = outerRow == 6 ? 1 : -1;
        const int innerRow = outerRow + 2 * inward;
        for (int x = 5; x <= 69; ++x) {
            QCOMPARE(horizontal.at(x, outerRow + inward), horizontal.at(x, outerRow));
            QCOMPARE(horizontal.at(x, innerRow + inward), horizontal.at(x, innerRow));
            QCOMPARE(horizontal.at(x, innerRow + 2 * inward), horizontal.at(x, innerRow));
        }
        for (const int row : {outerRow, innerRow}) {
            int runStart = 5;
            for (int x = 6; x <= 70; ++x) {
                if (x <= 69 && horizontal.at(x, row) == horizontal.at(runStart, row)) {
                    continue;
                }
                const bool wholeRun = runStart > 5 && x <= 69;  // runs cut by the ends are shorter
                QVERIFY2(x - runStart == 3 || (!wholeRun && x - runStart < 3),
                         qPrintable(Where(runStart, row)));
                runStart = x;
            }
        }
        const bool shiftedRight = horizontal.at(6, outerRow) == horizontal.at(5, innerRow);
        for (int x = 6; x <= 68; ++x) {
            const int from = shiftedRight ? x - 1 : x + 1;
            QVERIFY2(horizontal.at(x, outerRow) == horizontal.at(from, innerRow),
                     qPrintable(Where(x, outerRow)));
        }
    }
}

void TrackPicturesTest::cornersFollowTheirCirclesAndMirrorEachOther() {
    const Picture corner(TrackPicture::UpperRight);
    const double road = 64.7;
    const double rim = 69.4;
    int innerTriangle = 0;
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            const QRgb colour = corner.at(x, y);
            const QString where = Where(x, y);
            const double toRoadCentre = std::hypot(x, y - 73.0);
            const double toRimCentre = std::hypot(x - 0.5, y - 72.0);
            if (y <= 4) {
                QVERIFY2(colour == kNone, qPrintable(where));
            } else if (y >= 69 && x <= y - 68) {
                QVERIFY2(colour == kNone, qPrintable(where));
                ++innerTriangle;
            } else if (toRimCentre > rim + 1) {
                QVERIFY2(colour == kNone, qPrintable(where));
            } else if (y <= 8) {
                // The rim continues the kerb of the straight to the left.
                QVERIFY2(colour == kBlack || (colour == kNone && toRimCentre > rim - 1),
                         qPrintable(where));
            } else if (toRoadCentre < road - 1) {
                QVERIFY2(colour == kRoad, qPrintable(where));
            } else if (toRoadCentre > road + 1 && toRimCentre < rim - 1) {
                QVERIFY2(colour == kBlack, qPrintable(where));
            } else if (toRoadCentre <= road + 1) {
                QVERIFY2(colour == kRoad || colour == kBlack, qPrintable(where));
            } else {
                QVERIFY2(colour == kBlack || colour == kNone, qPrintable(where));
            }
        }
    }
    QCOMPARE(innerTriangle, 14);
    for (int y = 69; y < H; ++y) {
        QCOMPARE(corner.at(y - 67, y), kRoad);  // the triangle ends where the road begins
    }
    for (int y = 5; y <= 8; ++y) {
        QCOMPARE(corner.at(0, y), kBlack);
    }

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
    const struct {
        TrackPicture first;
        TrackPicture second;
    } verticalPairs[] = {{TrackPicture::VerticalTrack, TrackPicture::VerticalStart},
                         {TrackPicture::VerticalStart, TrackPicture::VerticalTrack}};
    for (const auto& pair : verticalPairs) {
        const Picture joined = Joined(pair.first, pair.second, Qt::Vertical);
        for (int y = 0; y < 2 * H; ++y) {
            QVERIFY2(joined.at(6, y) == kKerb, qPrintable(Where(6, y)));
            QVERIFY2(joined.at(68, y) == kKerb, qPrintable(Where(68, y)));
        }
        // The stripe at the end of one piece and at the start of the next make one stripe.
        for (int y = H - 2; y <= H + 1; ++y) {
            QCOMPARE(joined.at(7, y), kKerb);
            QCOMPARE(joined.at(67, y), kKerb);
        }
        QCOMPARE(joined.at(7, H - 3), kGrass);
        QCOMPARE(joined.at(7, H + 2), kGrass);
    }

    const struct {
        TrackPicture first;
        TrackPicture second;
    } horizontalPairs[] = {{TrackPicture::HorizontalTrack, TrackPicture::HorizontalStart},
                           {TrackPicture::HorizontalStart, TrackPicture::HorizontalTrack}};
    for (const auto& pair : horizontalPairs) {
        const Picture joined = Joined(pair.first, pair.second, Qt::Horizontal);
        for (int x = 0; x < 2 * W; ++x) {
            QVERIFY2(joined.at(x, 5) == kKerb, qPrintable(Where(x, 5)));
            QVERIFY2(joined.at(x, 67) == kKerb, qPrintable(Where(x, 67)));
        }
        for (int x = W - 2; x <= W + 1; ++x) {
            QCOMPARE(joined.at(x, 6), kKerb);
            QCOMPARE(joined.at(x, 66), kKerb);
        }
    }
}

void TrackPicturesTest::cornerRoadsMeetTheStraights() {
    enum Edge { Left, Right, Top, Bottom };
    const struct {
        TrackPicture corner;
        Edge open[2];
    } corners[] = {{TrackPicture::UpperRight, {Left, Bottom}},
                   {TrackPicture::LowerRight, {Left, Top}},
                   {TrackPicture::UpperLeft, {Right, Bottom}},
                   {TrackPicture::LowerLeft, {Right, Top}}};
    const Picture horizontal(TrackPicture::HorizontalTrack);
    const Picture vertical(TrackPicture::VerticalTrack);

    for (const auto& entry : corners) {
        const Picture corner(entry.corner);
        for (const Edge edge : entry.open) {
            const bool sideEdge = edge == Left || edge == Right;
            const int cornerLine = edge == Left    ? 0
                                   : edge == Right ? W - 1
                                   : edge == Top   ? 0
                                                   : H - 1;
            // The straight's facing edge: its last column or row meets the corner's first.
            const int straightLine = edge == Left    ? W - 1
                                     : edge == Right ? 0
                                     : edge == Top   ? H - 1
                                                     : 0;
            const EdgeProfile mine = ProfileOf(corner, sideEdge, cornerLine);
            const EdgeProfile theirs =
                ProfileOf(sideEdge ? horizontal : vertical, sideEdge, straightLine);
            const QString what =
                QStringLiteral(
                    "corner %1, edge %2: band %3-%4 against %5-%6, road %7-%8 against %9-%10")
                    .arg(int(entry.corner))
                    .arg(int(edge))
                    .arg(mine.bandFirst)
                    .arg(mine.bandLast)
                    .arg(theirs.bandFirst)
                    .arg(theirs.bandLast)
                    .arg(mine.roadFirst)
                    .arg(mine.roadLast)
                    .arg(theirs.roadFirst)
                    .arg(theirs.roadLast);
            QVERIFY2(mine.roadContiguous, qPrintable(what));
            QVERIFY2(std::abs(mine.bandFirst - theirs.bandFirst) <= 1, qPrintable(what));
            QVERIFY2(std::abs(mine.bandLast - theirs.bandLast) <= 1, qPrintable(what));
            // The straight's road runs on into the corner's road, give or take a pixel.
            QVERIFY2(mine.roadFirst <= theirs.roadFirst + 1, qPrintable(what));
            QVERIFY2(mine.roadLast >= theirs.roadLast - 1, qPrintable(what));
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
        // The maps leave out the inner corner's short diagonal, which the pictures draw as road.
        const int reach = corner ? 3 : 1;
        const auto mapRoad = [&map](int x, int y) { return map.value[y][x] != Surface::OffRoad; };
        const auto drawn = [&picture](int x, int y) { return IsDrawnTrack(picture.at(x, y)); };
        for (int y = 0; y < H; ++y) {
            for (int x = 0; x < W; ++x) {
                const QString where = QStringLiteral("kind %1 ").arg(kind) + Where(x, y);
                if (IsDrivingSurface(picture.at(x, y))) {
                    QVERIFY2(Near(x, y, reach, mapRoad),
                             qPrintable(where + ": drawn road off the map"));
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
