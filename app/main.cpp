#include <QApplication>
#include <cstdlib>
#include <memory>

#include "app/Vantor.h"
#include "graphics/ApplicationIcon.h"
#include "platform/GameFacts.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    // The window's title, and nothing else: the records store is named on its own.
    QApplication::setApplicationName(GAME_NAME);
    QApplication::setWindowIcon(ApplicationIcon::WindowIcon(Vantor::IconThemeDir()));

    // The game sets the global vantor to itself while it lives.
    const auto game = std::make_unique<Vantor>();
    if (!game->ScreensReady()) {
        // The player was told what is missing and answered "Quit".
        return EXIT_FAILURE;
    }
    game->Start();
    return application.exec();
}
