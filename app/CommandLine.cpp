#include "app/CommandLine.h"

#include <QCommandLineParser>

namespace {

constexpr const char* PROGRAM = "vantor";
// Qt's own options that take a value, which Qt reads and takes out later; the others are flags.
constexpr const char* QT_VALUE_OPTIONS[] = {"platform",      "platformpluginpath",
                                            "platformtheme", "plugin",
                                            "qmljsdebugger", "qwindowgeometry",
                                            "qwindowicon",   "qwindowtitle",
                                            "session",       "display",
                                            "geometry",      "style",
                                            "stylesheet",    "name",
                                            "title"};
constexpr const char* QT_FLAG_OPTIONS[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

struct Options {
    QCommandLineOption help{QStringList{"h", "help", "?"},
                            QStringLiteral("Shows this help and exits.")};
    QCommandLineOption version{QStringList{"v", "version"},
                               QStringLiteral("Shows the version and exits.")};
    QCommandLineOption replay{
        QStringLiteral("replay"),
        QStringLiteral("Plays the replay FILE in the window, then goes on to the start menu."),
        QStringLiteral("FILE")};
    QCommandLineOption verify{
        QStringLiteral("verify"),
        QStringLiteral("Runs each replay FILE again without a window and says whether it "
                       "reproduces its result. Exit status 0 when all do, 1 when any does not, 2 "
                       "when a file cannot be read.")};
};

void Describe(QCommandLineParser& parser, const Options& options) {
    parser.setApplicationDescription(QStringLiteral(
        "A top-down car racing game. Without options it opens at its start menu.\n\n"
        "Every race is kept as a replay in $XDG_DATA_HOME/vantor/replays/ (by default "
        "~/.local/share/vantor/replays/): last.replay, and the record race of each track and "
        "race length."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions({options.help, options.version, options.replay, options.verify});
    for (const char* name : QT_VALUE_OPTIONS) {
        QCommandLineOption qtOption(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        qtOption.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qtOption);
    }
    for (const char* name : QT_FLAG_OPTIONS) {
        QCommandLineOption qtOption(QString::fromLatin1(name));
        qtOption.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qtOption);
    }
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("Replay files, with --verify."),
                                 QStringLiteral("[FILE...]"));
}

}  // namespace

QString CommandLine::HelpText() {
    QCommandLineParser parser;
    Describe(parser, Options{});
    return parser.helpText();
}

QString CommandLine::VersionText() {
    return QStringLiteral("%1 %2\n").arg(QLatin1String(PROGRAM), QLatin1String(VANTOR_VERSION));
}

CommandLine::CommandLine(int argc, const char* const* argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    QCommandLineParser parser;
    const Options options;
    Describe(parser, options);
    const QCommandLineOption& help = options.help;
    const QCommandLineOption& version = options.version;
    const QCommandLineOption& replay = options.replay;
    const QCommandLineOption& verify = options.verify;
    task = Task::refuse;
    if (!parser.parse(arguments)) {
        error = parser.errorText();
        return;
    }
    files = parser.positionalArguments();
    if (parser.isSet(help)) {
        task = Task::help;
    } else if (parser.isSet(version)) {
        task = Task::version;
    } else if (parser.isSet(verify) && parser.isSet(replay)) {
        error = QStringLiteral("--replay and --verify cannot be given together.");
    } else if (parser.isSet(verify)) {
        task = files.isEmpty() ? Task::refuse : Task::verify;
        error = QStringLiteral("--verify needs at least one replay file.");
    } else if (!files.isEmpty()) {
        error = QStringLiteral("Unexpected argument '%1'.").arg(files.first());
    } else if (parser.isSet(replay)) {
        task = Task::watch;
        files = QStringList{parser.value(replay)};
    } else {
        task = Task::play;
    }
    if (task != Task::refuse) {
        error.clear();
    }
}
