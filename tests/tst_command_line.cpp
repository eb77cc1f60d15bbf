#include <sys/stat.h>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/support/CompareCase.h"
#include "tests/support/NodeState.h"

// The game's command line, as a shell or a script uses it: the build's own program, run with no
// display at all.
class CommandLineTest : public QObject {
    Q_OBJECT

    struct Outcome {
        int status;
        QString out, errors;
    };
    static Outcome Run(const QStringList& arguments) {
        QProcess game;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(display);
        game.setProcessEnvironment(environment);
        game.start(VANTOR_GAME, arguments);
        if (!game.waitForFinished(20000))
            game.kill();
        return {game.exitCode(), game.readAllStandardOutput(), game.readAllStandardError()};
    }
    static QString Golden(const QString& file) { return QStringLiteral(REPLAY_DIR "/") + file; }

  private slots:
    void helpVersionAndWrongArguments() {
        const Outcome help = Run({"--help"});
        QCOMPARE(help.status, 0);
        QVERIFY2(help.out.contains("--verify") && help.out.contains("--replay"),
                 qPrintable(help.out));
        const Outcome version = Run({"--version"});
        QCOMPARE(version.status, 0);
        QCOMPARE(version.out, QString("vantor " VANTOR_VERSION "\n"));
        // Each refused with its reason and the way to help, on the error stream alone.
        const std::pair<QStringList, QString> wrong[] = {
            {{"--fast"}, "vantor: Unknown option 'fast'."},
            {{"track1.replay"}, "vantor: Unexpected argument 'track1.replay'."},
            {{"--verify"}, "vantor: --verify needs at least one replay file."},
            {{"--replay"}, "vantor: Missing value after '--replay'."},
            {{"--verify", "--replay", "a", "b"},
             "vantor: --replay and --verify cannot be given together."},
        };
        for (const auto& [arguments, message] : wrong) {
            const Outcome refused = Run(arguments);
            const QByteArray name = arguments.join(' ').toUtf8();
            COMPARE_CASE(refused.status, 2, name);
            COMPARE_CASE(refused.errors, message + "\nTry 'vantor --help' for more information.\n",
                         name);
            COMPARE_CASE(refused.out, QString(), name);
        }
    }

    void verifyRunsEveryReplayAgain() {
        const QStringList golden{Golden("track2-5laps-easy.replay"),
                                 Golden("track4-1lap-time-trial.replay")};
        const Outcome good = Run(QStringList{"--verify"} + golden);
        QCOMPARE(good.status, 0);
        QCOMPARE(good.out.split('\n', Qt::SkipEmptyParts),
                 QStringList({golden[0] + ": track 2, Easy, 5 laps, against the computer: "
                                          "player won in 20.970 s (699 ticks): reproduces",
                              golden[1] + ": track 4, Easy, 1 lap, time trial against a ghost: "
                                          "ghost won in 8.280 s (276 ticks): reproduces"}));

        // One turn in the middle of the race taken the other way: the race runs otherwise, and
        // the file says so.
        QTemporaryDir folder;
        QByteArray text = Contents(golden[0]);
        const int turn = text.indexOf(" Left+", text.size() / 2);
        QVERIFY(turn > 0);
        text.replace(turn, 6, " Right+");
        const QString changed = folder.filePath("changed.replay");
        QFile file(changed);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
        file.close();
        const Outcome bad = Run({"--verify", golden[1], changed});
        QCOMPARE(bad.status, 1);
        QVERIFY2(bad.out.contains(changed + ": track 2, Easy, 5 laps, against the computer: player "
                                            "won in 20.970 s (699 ticks): does not reproduce: "),
                 qPrintable(bad.out));

        // A file that cannot be read, or a pipe that would never end, is said at once, and the
        // others are still checked.
        const QString pipe = folder.filePath("pipe.replay");
        QCOMPARE(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        const Outcome unreadable = Run({"--verify", pipe, folder.filePath("none"), golden[1]});
        QCOMPARE(unreadable.status, 2);
        QCOMPARE(unreadable.errors.split('\n').filter(QRegularExpression("^vantor: ")),
                 QStringList({"vantor: " + pipe + ": cannot be read: it is not an ordinary file",
                              "vantor: " + folder.filePath("none") +
                                  ": cannot be read: No such file or directory"}));
        QVERIFY(unreadable.out.endsWith(": reproduces\n"));
    }
};

QTEST_MAIN(CommandLineTest)
#include "tst_command_line.moc"
