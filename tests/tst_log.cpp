#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <ctime>

#include "log/LogTrace.h"

class TestLog : public QObject {
    Q_OBJECT

  private slots:
    void formatsAndCutsRecords();
    void tracesTheLocalClockButWritesNothing();
};

void TestLog::formatsAndCutsRecords() {
    QCOMPARE(LogTrace::DebugRecord("100% %s"), QByteArray("DEBUG: 100% %s\n"));
    QCOMPARE(LogTrace::DebugRecord(nullptr), QByteArray("DEBUG: \n"));
    QCOMPARE(LogTrace::WarningRecord("no preview"), QByteArray("WARNING: no preview\n"));
    QCOMPARE(LogTrace::StartRecord("RaceCar::SetVelocity", TraceTime{9, 5, 3, 42}),
             QByteArray("FUNCT START: RaceCar::SetVelocity StartTime: 09:05:03:42\n"));
    QCOMPARE(LogTrace::EndRecord("Vantor::Vantor", TraceTime{23, 59, 59, 5060}),
             QByteArray("FUNCT END: Vantor::Vantor StartTime: 23:59:59:5060\n"));
    // "DEBUG: " + 247 characters + newline is 255: whole. Longer texts are cut to end a line.
    for (const int length : {247, 248, 5000}) {
        const QByteArray record = LogTrace::DebugRecord(QByteArray(length, 'b').constData());
        QCOMPARE(record, "DEBUG: " + QByteArray(247, 'b') + '\n');
    }
    const QByteArray name(400, 'n');
    QCOMPARE(LogTrace::StartRecord(name.constData(), {}), "FUNCT START: " + name.left(241) + '\n');
}

void TestLog::tracesTheLocalClockButWritesNothing() {
    qputenv("TZ", "<+0530>-5:30");  // far from UTC, so universal time would show
    tzset();
    const QTime before = QTime::currentTime();
    const TraceTime now = TraceTime::Now();
    const QTime traced(now.hour, now.minute, now.second);
    QVERIFY(now.microseconds >= 0 && now.microseconds <= 999999);
    QVERIFY(traced >= before.addMSecs(-before.msec()) && traced <= QTime::currentTime());

    QTemporaryDir folder;
    QVERIFY(QDir::setCurrent(folder.path()));
    QTest::failOnWarning(QRegularExpression(".*"));
    {
        LogTrace trace("Vantor");
        QCOMPARE(trace.fileName(), QString("Vantor.log"));
        trace.StartFunctionTrace("Vantor::Vantor");
        trace.LogDebug("debug");
        trace.LogWarning("warning");
        trace.EndFunctionTrace("Vantor::Vantor");
    }
    QVERIFY(QDir(folder.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

QTEST_GUILESS_MAIN(TestLog)
#include "tst_log.moc"
