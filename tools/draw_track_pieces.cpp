// Draws the thirteen track piece pictures and writes them as XPM files for the game to compile in.
// Usage: draw_track_pieces <xpm output dir> [<contact sheet png>]
// The contact sheet shows every picture enlarged and a few pieces joined as they meet in the
// built-in tracks, so that the joins can be checked by eye.

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTextStream>

#include <algorithm>
#include <array>
#include <vector>

#include "platform/GameFacts.h"
#include "tools/XpmWriter.h"

namespace {

constexpr QRgb kTransparent = 0;
constexpr QRgb kGrass = 0xff008000;
constexpr QRgb kRoad = 0xff808080;
constexpr QRgb kKerb = 0xffc7c7c7;
constexpr QRgb kBlack = 0xff000000;
constexpr QRgb kWhite = 0xffffffff;
constexpr QRgb kDeck = 0xff848284;
constexpr QRgb kYellow = 0xffffff00;

// One key per colour keeps the XPM files readable as pictures.
struct ColourKey {
    QRgb colour;
    const char* key;
};
constexpr ColourKey kColourKeys[] = {{kTransparent, " "}, {kGrass, "g"}, {kRoad, "r"},
                                     {kKerb, "k"},        {kBlack, "b"}, {kWhite, "w"},
                                     {kDeck, "d"},        {kYellow, "y"}};

struct Span {
    int first;
    int last;
    constexpr bool contains(int value) const { return value >= first && value <= last; }
};

constexpr int kKerbStripes = 6;
using KerbStripes = std::array<Span, kKerbStripes>;

bool InAnySpan(const KerbStripes& spans, int value) {
    return std::any_of(spans.begin(), spans.end(),
                       [value](const Span& span) { return span.contains(value); });
}

int FloorDiv(int value, int divisor) {
    return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
}

QImage BlankPiece(QRgb fill) {
    QImage picture(PIECE_WIDTH, PIECE_HEIGHT, QImage::Format_ARGB32);
    picture.fill(fill);
    return picture;
}

// Straights and bridges are drawn once in "across the track" / "along the track" coordinates; the
// orientation turns those into pixels.
class PiecePainter {
  public:
    PiecePainter(QImage& picture, Qt::Orientation travel) : picture(picture), travel(travel) {}

    int alongLength() const { return travel == Qt::Vertical ? picture.height() : picture.width(); }
    int acrossLength() const { return travel == Qt::Vertical ? picture.width() : picture.height(); }
    void set(int across, int along, QRgb colour) {
        if (travel == Qt::Vertical) {
            picture.setPixel(across, along, colour);
        } else {
            picture.setPixel(along, across, colour);
        }
    }

  private:
    QImage& picture;
    const Qt::Orientation travel;
};

// A straight ground piece, across the track: grass, kerb line, kerb stripes, road, and the same
// mirrored on the far side.
struct StraightLayout {
    int kerbLine;         // the near kerb line; the far one mirrors it
    Span stripeBand;      // the near stripe band
    Span road;            // across the track
    KerbStripes stripes;  // along the track, where the stripe bands are light grey
};

constexpr StraightLayout kVerticalStraight{
    6, {7, 8}, {9, 65}, {{{0, 1}, {14, 16}, {29, 31}, {44, 46}, {59, 61}, {71, 72}}}};
constexpr StraightLayout kHorizontalStraight{
    5, {6, 7}, {8, 64}, {{{0, 1}, {13, 15}, {28, 30}, {44, 46}, {60, 62}, {73, 74}}}};

QImage DrawStraight(const StraightLayout& layout, Qt::Orientation travel) {
    QImage picture = BlankPiece(kGrass);
    PiecePainter painter(picture, travel);
    const int mirror = layout.road.first + layout.road.last;
    for (int along = 0; along < painter.alongLength(); ++along) {
        const bool striped = InAnySpan(layout.stripes, along);
        for (int across = 0; across < painter.acrossLength(); ++across) {
            const int nearSide = std::min(across, mirror - across);
            if (layout.road.contains(across)) {
                painter.set(across, along, kRoad);
            } else if (nearSide == layout.kerbLine) {
                painter.set(across, along, kKerb);
            } else if (layout.stripeBand.contains(nearSide) && striped) {
                painter.set(across, along, kKerb);
            }
        }
    }
    return picture;
}

// A bridge deck across the track: rail, black edge line, deck, edge line, rail. Over its last
// five pixels at each end the deck widens by one pixel per step, squeezing the rails to nothing,
// so that it meets the full width of the neighbouring road.
struct BridgeLayout {
    Span extent;  // rails, edges and deck across the track
    Span deck;    // between the edge lines, away from the ends
};

constexpr int kBridgeTaper = 5;
constexpr int kRailStripeStart = 6;
constexpr int kRailOuterWidth = 2;  // the rail splits into an outer and an inner band

// One cycle of the hazard stripes: whether the outer and the inner band are yellow. The inner band
// runs one step ahead of the outer band, which slants the stripes.
struct RailStep {
    bool outerYellow;
    bool innerYellow;
};
constexpr RailStep kRailCycle[] = {{true, false}, {false, false}, {false, false},
                                   {false, true}, {true, true},   {true, true}};
constexpr int kRailCycleLength = sizeof(kRailCycle) / sizeof(kRailCycle[0]);

constexpr BridgeLayout kVerticalBridge{{6, 68}, {12, 62}};
constexpr BridgeLayout kHorizontalBridge{{6, 66}, {12, 60}};

QImage DrawBridge(const BridgeLayout& layout, Qt::Orientation travel) {
    QImage picture = BlankPiece(kTransparent);
    PiecePainter painter(picture, travel);
    const int lastAlong = painter.alongLength() - 1;
    const int mirror = layout.extent.first + layout.extent.last;
    for (int along = 0; along <= lastAlong; ++along) {
        const int widening =
            std::max({0, kBridgeTaper - along, along - (lastAlong - kBridgeTaper)});
        const int edge = layout.deck.first - 1 - widening;
        const RailStep& step =
            kRailCycle[(along - kRailStripeStart + kRailCycleLength * 4) % kRailCycleLength];
        for (int across = layout.extent.first; across <= layout.extent.last; ++across) {
            const int nearSide = std::min(across, mirror - across);
            QRgb colour = kDeck;
            if (nearSide == edge) {
                colour = kBlack;
            } else if (nearSide < edge) {
                // Where the rails narrow the stripes run on along their outermost line only, so
                // the taper reads as the black end of the rail.
                const bool outer = nearSide < layout.extent.first + kRailOuterWidth;
                const bool yellow = widening == 0
                                        ? (outer ? step.outerYellow : step.innerYellow)
                                        : nearSide == layout.extent.first && step.outerYellow;
                colour = yellow ? kYellow : kBlack;
            }
            painter.set(across, along, colour);
        }
    }
    return picture;
}

// The upper right corner, joining the left and bottom edges; the other corners are its mirrors.
constexpr double kCornerRoadRadius = 64.7;
constexpr double kCornerRimRadius = 69.4;
constexpr int kCornerTopGrass = 5;      // rows above the corner's track
constexpr int kCornerFirstRoadRow = 9;  // rows above it continue the neighbour's kerb as rim

QImage DrawUpperRight() {
    QImage picture = BlankPiece(kTransparent);
    for (int y = kCornerTopGrass; y < PIECE_HEIGHT; ++y) {
        for (int x = 0; x < PIECE_WIDTH; ++x) {
            const bool innerCorner = y >= 69 && x <= y - 68;
            if (innerCorner) {
                continue;
            }
            const double roadDx = x;
            const double roadDy = y - PIECE_HEIGHT;
            const double rimDx = x - 0.5;
            const double rimDy = y - 72;
            if (y >= kCornerFirstRoadRow &&
                roadDx * roadDx + roadDy * roadDy <= kCornerRoadRadius * kCornerRoadRadius) {
                picture.setPixel(x, y, kRoad);
            } else if (rimDx * rimDx + rimDy * rimDy <= kCornerRimRadius * kCornerRimRadius) {
                picture.setPixel(x, y, kBlack);
            }
        }
    }
    return picture;
}

// A start chequer of 2x2 squares over the pixels of one surface colour inside an area; the other
// squares keep that colour. whiteSquare is the top-left pixel of one white square.
void DrawChequer(QImage& picture, const QRect& area, const QPoint& whiteSquare, QRgb surface) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const int square = FloorDiv(x - whiteSquare.x(), 2) + FloorDiv(y - whiteSquare.y(), 2);
            if (picture.pixel(x, y) == surface && square % 2 == 0) {
                picture.setPixel(x, y, kWhite);
            }
        }
    }
}

// The vertical start line's squares; the corner start piece continues the same chequer.
const QPoint kVerticalStartSquare(9, 55);

QImage DrawVerticalStart() {
    QImage picture = DrawStraight(kVerticalStraight, Qt::Vertical);
    DrawChequer(picture, QRect(QPoint(9, 55), QPoint(65, 72)), kVerticalStartSquare, kRoad);
    return picture;
}

QImage DrawHorizontalStart() {
    QImage picture = DrawStraight(kHorizontalStraight, Qt::Horizontal);
    DrawChequer(picture, QRect(QPoint(63, 8), QPoint(74, 64)), QPoint(63, 8), kRoad);
    return picture;
}

QImage DrawVerticalStartBridge() {
    QImage picture = DrawBridge(kVerticalBridge, Qt::Vertical);
    DrawChequer(picture, QRect(QPoint(0, 55), QPoint(74, 72)), QPoint(12, 55), kDeck);
    return picture;
}

QImage DrawUpperRightStart() {
    QImage picture = DrawUpperRight();
    DrawChequer(picture, QRect(QPoint(0, 65), QPoint(74, 72)), kVerticalStartSquare, kRoad);
    return picture;
}

struct Piece {
    const char* name;  // file name and array name stem
    QImage (*draw)();
};

constexpr Piece kPieces[] = {
    {"grass", [] { return BlankPiece(kGrass); }},
    {"vertical_track", [] { return DrawStraight(kVerticalStraight, Qt::Vertical); }},
    {"vertical_bridge", [] { return DrawBridge(kVerticalBridge, Qt::Vertical); }},
    {"horizontal_track", [] { return DrawStraight(kHorizontalStraight, Qt::Horizontal); }},
    {"horizontal_bridge", [] { return DrawBridge(kHorizontalBridge, Qt::Horizontal); }},
    {"horizontal_start", DrawHorizontalStart},
    {"upper_right", DrawUpperRight},
    {"lower_right", [] { return DrawUpperRight().mirrored(false, true); }},
    {"upper_left", [] { return DrawUpperRight().mirrored(true, false); }},
    {"lower_left", [] { return DrawUpperRight().mirrored(true, true); }},
    {"vertical_start", DrawVerticalStart},
    {"vertical_start_bridge", DrawVerticalStartBridge},
    {"upper_right_start", DrawUpperRightStart},
};

bool WriteXpm(const QString& name, const QImage& picture, const QString& directory) {
    XpmWriter writer(name + "_xpm");
    for (const ColourKey& key : kColourKeys) {
        writer.setFixedKey(key.colour, key.key);
    }
    return writer.write(picture, QDir(directory).filePath(name + ".xpm"));
}

// ---- Contact sheet ----

constexpr int kSheetScale = 3;
constexpr int kSheetMargin = 12;
constexpr int kLabelHeight = 18;
constexpr int kPicturesPerRow = 5;

QImage PictureNamed(const char* name) {
    for (const Piece& piece : kPieces) {
        if (qstrcmp(piece.name, name) == 0) {
            return piece.draw();
        }
    }
    qFatal("no picture named %s", name);
}

// Cells of a little layout: a ground picture and optionally a bridge picture above it.
struct Cell {
    int column;
    int row;
    const char* ground;
    const char* bridge;
};

struct Arrangement {
    const char* title;
    int columns;
    int rows;
    std::vector<Cell> cells;
};

// Drawn on the race canvas's green, the way the game shows them.
QImage Compose(const Arrangement& arrangement) {
    QImage scene(arrangement.columns * PIECE_WIDTH, arrangement.rows * PIECE_HEIGHT,
                 QImage::Format_ARGB32);
    scene.fill(kGrass);
    QPainter painter(&scene);
    for (const bool bridgeLevel : {false, true}) {
        for (const Cell& cell : arrangement.cells) {
            const char* name = bridgeLevel ? cell.bridge : cell.ground;
            if (name != nullptr) {
                painter.drawImage(cell.column * PIECE_WIDTH, cell.row * PIECE_HEIGHT,
                                  PictureNamed(name));
            }
        }
    }
    return scene;
}

const std::vector<Arrangement> kArrangements{
    {"vertical above start",
     1,
     2,
     {{0, 0, "vertical_track", nullptr}, {0, 1, "vertical_start", nullptr}}},
    {"start above vertical",
     1,
     2,
     {{0, 0, "vertical_start", nullptr}, {0, 1, "vertical_track", nullptr}}},
    {"horizontal beside start",
     2,
     1,
     {{0, 0, "horizontal_track", nullptr}, {1, 0, "horizontal_start", nullptr}}},
    {"start beside horizontal",
     2,
     1,
     {{0, 0, "horizontal_start", nullptr}, {1, 0, "horizontal_track", nullptr}}},
    {"a loop",
     3,
     3,
     {{0, 0, "upper_left", nullptr},
      {1, 0, "horizontal_track", nullptr},
      {2, 0, "upper_right", nullptr},
      {0, 1, "vertical_start", nullptr},
      {1, 1, "grass", nullptr},
      {2, 1, "vertical_track", nullptr},
      {0, 2, "lower_left", nullptr},
      {1, 2, "horizontal_start", nullptr},
      {2, 2, "lower_right", nullptr}}},
    {"vertical bridge over straights",
     1,
     4,
     {{0, 0, "upper_left", nullptr},
      {0, 1, "horizontal_track", "vertical_start_bridge"},
      {0, 2, "horizontal_track", "vertical_bridge"},
      {0, 3, "lower_left", nullptr}}},
    {"horizontal bridge over a straight",
     3,
     1,
     {{0, 0, "upper_left", nullptr},
      {1, 0, "vertical_track", "horizontal_bridge"},
      {2, 0, "lower_right", nullptr}}},
    {"corner start",
     1,
     2,
     {{0, 0, "upper_right_start", nullptr}, {0, 1, "vertical_track", nullptr}}},
};

// Shows transparent pixels as a grey check, so they cannot be mistaken for grass.
QImage OnTransparencyCheck(const QImage& picture) {
    QImage backdrop(picture.size(), QImage::Format_ARGB32);
    for (int y = 0; y < backdrop.height(); ++y) {
        for (int x = 0; x < backdrop.width(); ++x) {
            backdrop.setPixel(x, y, ((x / 4 + y / 4) % 2 == 0) ? 0xffd8d8d8 : 0xffa8a8a8);
        }
    }
    QPainter painter(&backdrop);
    painter.drawImage(0, 0, picture);
    return backdrop;
}

QImage Enlarged(const QImage& picture) {
    return picture.scaled(picture.size() * kSheetScale, Qt::IgnoreAspectRatio,
                          Qt::FastTransformation);
}

struct Tile {
    QString label;
    QImage picture;
};

bool WriteContactSheet(const QString& path) {
    std::vector<std::vector<Tile>> sheetRows;
    std::vector<Tile> row;
    for (const Piece& piece : kPieces) {
        row.push_back({piece.name, Enlarged(OnTransparencyCheck(piece.draw()))});
        if (int(row.size()) == kPicturesPerRow) {
            sheetRows.push_back(std::move(row));
            row.clear();
        }
    }
    if (!row.empty()) {
        sheetRows.push_back(std::move(row));
        row.clear();
    }
    for (const Arrangement& arrangement : kArrangements) {
        row.push_back({arrangement.title, Enlarged(Compose(arrangement))});
        if (int(row.size()) == 4) {
            sheetRows.push_back(std::move(row));
            row.clear();
        }
    }
    if (!row.empty()) {
        sheetRows.push_back(std::move(row));
    }

    int sheetWidth = 0;
    int sheetHeight = kSheetMargin;
    for (const auto& tiles : sheetRows) {
        int width = kSheetMargin;
        int height = 0;
        for (const Tile& tile : tiles) {
            width += tile.picture.width() + kSheetMargin;
            height = std::max(height, tile.picture.height());
        }
        sheetWidth = std::max(sheetWidth, width);
        sheetHeight += kLabelHeight + height + kSheetMargin;
    }

    QImage sheet(sheetWidth, sheetHeight, QImage::Format_ARGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    QFont font("Helvetica");
    font.setPixelSize(13);
    painter.setFont(font);
    int top = kSheetMargin;
    for (const auto& tiles : sheetRows) {
        int left = kSheetMargin;
        int height = 0;
        for (const Tile& tile : tiles) {
            painter.drawText(left, top + kLabelHeight - 5, tile.label);
            painter.drawImage(left, top + kLabelHeight, tile.picture);
            left += tile.picture.width() + kSheetMargin;
            height = std::max(height, tile.picture.height());
        }
        top += kLabelHeight + height + kSheetMargin;
    }
    painter.end();
    return sheet.save(path);
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    QTextStream errors(stderr);
    const QStringList arguments = application.arguments();
    if (arguments.size() < 2 || arguments.size() > 3) {
        errors << "usage: draw_track_pieces <xpm output dir> [<contact sheet png>]\n";
        return 2;
    }
    const QString directory = arguments.at(1);
    if (!QDir().mkpath(directory)) {
        errors << "cannot create " << directory << "\n";
        return 1;
    }
    for (const Piece& piece : kPieces) {
        if (!WriteXpm(piece.name, piece.draw(), directory)) {
            errors << "cannot write " << piece.name << ".xpm in " << directory << "\n";
            return 1;
        }
    }
    if (arguments.size() == 3 && !WriteContactSheet(arguments.at(2))) {
        errors << "cannot write " << arguments.at(2) << "\n";
        return 1;
    }
    return 0;
}
