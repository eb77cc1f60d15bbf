#include "tests/support/GameFixture.h"

#include <QDir>
#include <QGraphicsView>
#include <QImage>

#include "app/Globals.h"
#include "app/Vantor.h"
#include "race/TrackLayouts.h"
#include "race/VantorScreen.h"
#include "screens/EndScreen.h"
#include "screens/LevelSelectBox.h"
#include "screens/StartScreen.h"
#include "track/ImageItem.h"

namespace {

const QSize LOGO_SIZE(180, 115);

}  // namespace

PreviewDirectory::PreviewDirectory() {
    const QString previews = Path() + QStringLiteral("track_pics");
    QDir().mkpath(previews);
    for (int number = 1; number <= TRACK_COUNT; ++number) {
        QImage picture(PREVIEW_WIDTH, PREVIEW_HEIGHT, QImage::Format_RGB32);
        picture.fill(QColor::fromHsv(number * 20, 160, 200));
        picture.save(previews + QStringLiteral("/TrackPix%1.png").arg(number));
    }
}

TemporaryConfigHome::TemporaryConfigHome() {
    qputenv("XDG_CONFIG_HOME", directory.path().toLocal8Bit());
}

GameScreens::GameScreens(Vantor& game)
    : start(game.findChild<StartScreen*>()),
      race(game.findChild<VantorScreen*>()),
      end(game.findChild<EndScreen*>()) {
    if (start != nullptr) {
        canvas = start->findChild<QGraphicsView*>()->scene();
    }
}

QList<LevelSelectBox*> MenuTexts(const QGraphicsScene& canvas) {
    QList<LevelSelectBox*> texts;
    const QList<QGraphicsItem*> items = canvas.items();
    for (QGraphicsItem* item : items) {
        if (auto* text = dynamic_cast<LevelSelectBox*>(item)) {
            texts.append(text);
        }
    }
    return texts;
}

LevelSelectBox* MenuText(const QGraphicsScene& canvas, const QString& text) {
    const QList<LevelSelectBox*> texts = MenuTexts(canvas);
    for (LevelSelectBox* item : texts) {
        if (item->text() == text) {
            return item;
        }
    }
    return nullptr;
}

int ShownPreview() {
    int shown = -1;
    for (int track = 0; track < TRACK_COUNT; ++track) {
        if (vantor->GetTrackImage(track)->isVisible()) {
            shown = shown == -1 ? track : -2;
        }
    }
    return shown;
}

ImageItem* StartLogo(const QGraphicsScene& canvas) {
    const QList<QGraphicsItem*> items = canvas.items();
    for (QGraphicsItem* item : items) {
        auto* image = dynamic_cast<ImageItem*>(item);
        if (image != nullptr && image->Image().size() == LOGO_SIZE) {
            return image;
        }
    }
    return nullptr;
}
