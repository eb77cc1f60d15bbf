#pragma once

#include <QString>
#include <QStringList>

// What the game is asked to do on its command line, the GNU way: play (no arguments), watch a
// replay in the window (--replay FILE), check replays without a window (--verify FILE...), or
// --help and --version. Anything else is refused with a message and exit status 2.
class CommandLine {
  public:
    enum class Task { play, watch, verify, help, version, refuse };
    static constexpr int USAGE_ERROR = 2;

    // The arguments, the program's name first, read before any application exists, so that
    // what needs no window runs where there is no display. Qt's own options (-platform, -style and
    // the like) are left to Qt.
    CommandLine(int argc, const char* const* argv);

    Task task = Task::play;
    QStringList files;
    QString error;  // why the arguments were refused
    // Needs a QCoreApplication for the program's name.
    static QString HelpText();

    static QString VersionText();
};
