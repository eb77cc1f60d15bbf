#include <QApplication>
#include <QTextStream>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/CommandLine.h"
#include "app/ReplayVerifier.h"
#include "app/Vantor.h"
#include "graphics/ApplicationIcon.h"
#include "platform/GameFacts.h"
#include "race/ReplayFile.h"
#include "records/ReplayStore.h"

int main(int argc, char* argv[]) {
    // Read first: what only prints or checks needs no window, and runs where there is no display.
    const CommandLine command(argc, argv);
    QTextStream out(stdout);
    QTextStream errors(stderr);
    if (command.task == CommandLine::Task::help || command.task == CommandLine::Task::version ||
        command.task == CommandLine::Task::refuse) {
        const QCoreApplication application(argc, argv);
        if (command.task == CommandLine::Task::refuse) {
            errors << "vantor: " << command.error
                   << "\nTry 'vantor --help' for more information.\n";
            return CommandLine::USAGE_ERROR;
        }
        out << (command.task == CommandLine::Task::help ? CommandLine::HelpText()
                                                        : CommandLine::VersionText());
        return EXIT_SUCCESS;
    }
    if (command.task == CommandLine::Task::verify) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    // The window's title, and nothing else: the records store is named on its own.
    QApplication::setApplicationName(GAME_NAME);

    std::optional<Replay> replay;
    switch (command.task) {
        case CommandLine::Task::verify:
            return VerifyReplays(command.files, out, errors);
        case CommandLine::Task::watch: {
            QString why;
            const std::optional<QByteArray> text = ReplayStore::ReadFile(command.files[0], &why);
            const ReplayFile::Reading reading =
                text ? ReplayFile::Read(*text) : ReplayFile::Reading{std::nullopt, why};
            if (!reading.replay) {
                errors << "vantor: " << command.files[0] << ": cannot be read: " << reading.error
                       << '\n';
                return CommandLine::USAGE_ERROR;
            }
            replay = reading.replay;
            break;
        }
        default:
            break;
    }
    QApplication::setWindowIcon(ApplicationIcon::WindowIcon(Vantor::IconThemeDir()));

    // The game sets the global vantor to itself while it lives.
    const auto game = std::make_unique<Vantor>();
    if (!game->ScreensReady()) {
        // The player was told what is missing and answered "Quit".
        return EXIT_FAILURE;
    }
    if (replay) {
        game->Watch(*replay);
    } else {
        game->Start();
    }
    return application.exec();
}
