#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include "log/LogTrace.h"

class TestLog : public QObject {
    Q_OBJECT

  private slots:
    void formatsCutsAndWritesNothing() {
        // 255 characters with the newline is the longest record; longer ones are cut to end a line.
        const QByteArray records[][2] = {
            {LogTrace::DebugRecord("100% %s"), "DEBUG: 100% %s\n"},
            {LogTrace::DebugRecord(nullptr), "DEBUG: \n"},
            {LogTrace::WarningRecord("no map"), "WARNING: no map\n"},
            {LogTrace::StartRecord("A", {9, 5, 3, 42}), "FUNCT START: A StartTime: 09:05:03:42\n"},
            {LogTrace::EndRecord("B", {23, 59, 59, 506}), "FUNCT END: B StartTime: 23:59:59:506\n"},
            {LogTrace::DebugRecord(QByteArray(247, 'b')), "DEBUG: " + QByteArray(247, 'b') + '\n'},
            {LogTrace::DebugRecord(QByteArray(248, 'b')), "DEBUG: " + QByteArray(247, 'b') + '\n'},
            {LogTrace::StartRecord(QByteArray(400, 'n'), {}),
             "FUNCT START: " + QByteArray(241, 'n') + '\n'}};
        for (const auto& [record, expected] : records) {
            QCOMPARE(record, expected);
        }
        QTemporaryDir folder;
        QVERIFY(QDir::setCurrent(folder.path()));
        LogTrace("Vantor").LogWarning("not written");
        QVERIFY(
            QDir(folder.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    }
};

QTEST_GUILESS_MAIN(TestLog)
#include "tst_log.moc"
