// The committed pictures under graphics/xpm/ must be what the drawing programs of tools/ draw
// today: every program draws into a folder of its own, and each file it writes must equal the
// committed one byte for byte.
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <utility>

namespace {

// One program's run: its exit code and error output, and the folder it drew into.
struct Drawing {
    int exitCode = -1;
    QString errors;
    QString folder;
};

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The first line in which the drawn and the committed file differ, as "<file> line <n>: <text>"
// for each; the same text twice when the files are equal.
std::pair<QString, QString> FirstDifference(const QString& name, const QByteArray& drawn,
                                            const QByteArray& committed) {
    const QList<QByteArray> drawnLines = drawn.split('\n');
    const QList<QByteArray> committedLines = committed.split('\n');
    int index = 0;
    while (index < drawnLines.size() && index < committedLines.size() &&
           drawnLines[index] == committedLines[index]) {
        ++index;
    }
    const auto lineOf = [&](const QList<QByteArray>& lines) {
        const QByteArray line = index < lines.size() ? lines[index] : QByteArray("<end of file>");
        return QStringLiteral("%1 line %2: %3").arg(name).arg(index + 1).arg(QString(line));
    };
    return {lineOf(drawnLines), lineOf(committedLines)};
}

}  // namespace

class TestPictures : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void regenerated_data();
    void regenerated();
    void everyCommittedPictureIsDrawn();

  private:
    QTemporaryDir output;
    QMap<QString, Drawing> drawings;  // by program name
};

void TestPictures::initTestCase() {
    QVERIFY(output.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    for (const QString& program : QStringLiteral(PICTURE_PROGRAMS).split(',')) {
        const QString name = QFileInfo(program).baseName();
        Drawing& drawing = drawings[name];
        drawing.folder = output.filePath(name);
        QVERIFY(QDir().mkpath(drawing.folder));
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(program, {drawing.folder});
        process.waitForFinished(60000);
        drawing.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        drawing.errors = QString::fromLocal8Bit(process.readAllStandardError());
    }
}

void TestPictures::regenerated_data() {
    QTest::addColumn<QString>("program");
    for (const QString& name : drawings.keys()) {
        QTest::newRow(qPrintable(name)) << name;
    }
}

void TestPictures::regenerated() {
    QFETCH(QString, program);
    const Drawing& drawing = drawings[program];
    if (drawing.exitCode != 0) {
        qWarning().noquote() << drawing.errors;
    }
    QCOMPARE(drawing.exitCode, 0);
    const QStringList drawn = QDir(drawing.folder).entryList(QDir::Files, QDir::Name);
    QVERIFY2(!drawn.isEmpty(), "the program wrote no picture");
    const QDir committed(QStringLiteral(XPM_SOURCE_DIR));
    for (const QString& name : drawn) {
        QVERIFY2(committed.exists(name), qPrintable(name + " is drawn but not committed"));
        const auto [drawnLine, committedLine] =
            FirstDifference(name, Contents(QDir(drawing.folder).filePath(name)),
                            Contents(committed.filePath(name)));
        QCOMPARE(drawnLine, committedLine);
    }
}

void TestPictures::everyCommittedPictureIsDrawn() {
    QStringList drawn;
    for (const Drawing& drawing : std::as_const(drawings)) {
        drawn += QDir(drawing.folder).entryList(QDir::Files);
    }
    drawn.sort();
    QStringList committed = QDir(QStringLiteral(XPM_SOURCE_DIR)).entryList(QDir::Files);
    committed.sort();
    QCOMPARE(drawn, committed);
}

QTEST_GUILESS_MAIN(TestPictures)
#include "tst_pictures.moc"
