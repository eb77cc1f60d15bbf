// The committed pictures under graphics/xpm/ must be what the drawing programs of tools/ draw
// today: every program draws into one temporary folder, each file must equal the committed one
// byte for byte, and no picture may be missing or left over.
#include <QtTest>

class TestPictures : public QObject {
    Q_OBJECT

    QTemporaryDir drawn;
    const QDir committed{QStringLiteral(XPM_SOURCE_DIR)};

    static QList<QByteArray> Lines(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QList<QByteArray>();
    }

  private slots:
    void initTestCase() {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        for (const QString& program : QStringLiteral(PICTURE_PROGRAMS).split(',')) {
            QProcess process;
            process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            process.start(program, {drawn.path()});
            process.waitForFinished(60000);
            const bool ran = process.exitStatus() == QProcess::NormalExit;
            const QString name = QFileInfo(program).fileName() + ": ";
            QCOMPARE(name + (ran ? QString::number(process.exitCode()) : "crashed"), name + "0");
        }
    }

    void everyCommittedPictureIsDrawn() {
        QCOMPARE(QDir(drawn.path()).entryList(QDir::Files), committed.entryList(QDir::Files));
    }

    void regenerated_data() {
        QTest::addColumn<QString>("picture");
        for (const QString& name : committed.entryList(QDir::Files)) {
            QTest::newRow(qPrintable(name)) << name;
        }
    }
    // Compared line by line, so that a failure shows the first line that differs.
    void regenerated() {
        QFETCH(QString, picture);
        const QList<QByteArray> now = Lines(QDir(drawn.path()).filePath(picture)),
                                before = Lines(committed.filePath(picture));
        int line = 0;
        while (line < now.size() && line < before.size() && now[line] == before[line]) {
            ++line;
        }
        const auto show = [line](const QList<QByteArray>& lines) {
            return QString("line %1: %2").arg(line + 1).arg(lines.value(line, "<end of file>"));
        };
        QCOMPARE(show(now), show(before));
    }
};

QTEST_GUILESS_MAIN(TestPictures)
#include "tst_pictures.moc"
