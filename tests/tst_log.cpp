#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTime>
#include <QtTest>

#include <cstdlib>
#include <ctime>

#include "log/LogTrace.h"

class TestLog : public QObject {
    Q_OBJECT

  private slots:
    void namesItsFileAfterTheApplication();
    void formatsEveryKindOfRecord();
    void cutsLongRecordsAtTheBuffer();
    void readsTheLocalTime();
    void writesNothingWhileTracingIsOff();
};

void TestLog::namesItsFileAfterTheApplication() {
    QCOMPARE(LogTrace("Vantor").fileName(), QString("Vantor.log"));
    QCOMPARE(LogTrace("race").fileName(), QString("race.log"));
}

void TestLog::formatsEveryKindOfRecord() {
    QCOMPARE(LogTrace::DebugRecord("tick 12"), QByteArray("DEBUG: tick 12\n"));
    QCOMPARE(LogTrace::WarningRecord("no preview"), QByteArray("WARNING: no preview\n"));
    // Text is copied, never interpreted as a format.
    QCOMPARE(LogTrace::DebugRecord("100% %s %d"), QByteArray("DEBUG: 100% %s %d\n"));
    QCOMPARE(LogTrace::DebugRecord(nullptr), QByteArray("DEBUG: \n"));

    const TraceTime afternoon{14, 5, 9, 42};
    QCOMPARE(LogTrace::StartRecord("RaceCar::SetVelocity", afternoon),
             QByteArray("FUNCT START: RaceCar::SetVelocity StartTime: 14:05:09:42\n"));
    QCOMPARE(LogTrace::EndRecord("RaceCar::SetVelocity", afternoon),
             QByteArray("FUNCT END: RaceCar::SetVelocity StartTime: 14:05:09:42\n"));

    // Hours, minutes and seconds keep two digits; microseconds have no leading zeros.
    QCOMPARE(LogTrace::StartRecord("Vantor::Vantor", TraceTime{0, 0, 0, 0}),
             QByteArray("FUNCT START: Vantor::Vantor StartTime: 00:00:00:0\n"));
    QCOMPARE(LogTrace::EndRecord("VantorScreen::RunTheRace", TraceTime{23, 59, 59, 999999}),
             QByteArray("FUNCT END: VantorScreen::RunTheRace StartTime: 23:59:59:999999\n"));
    QCOMPARE(LogTrace::EndRecord("VantorScreen::TimeEvent", TraceTime{9, 7, 3, 5060}),
             QByteArray("FUNCT END: VantorScreen::TimeEvent StartTime: 09:07:03:5060\n"));
}

void TestLog::cutsLongRecordsAtTheBuffer() {
    const int longest = LogTrace::RECORD_BUFFER_SIZE - 1;
    QCOMPARE(longest, 255);
    const QByteArray debugLabel("DEBUG: ");

    // "DEBUG: " + text + newline fills 255 characters exactly: kept whole.
    const QByteArray fits(longest - debugLabel.size() - 1, 'a');
    QCOMPARE(LogTrace::DebugRecord(fits.constData()), debugLabel + fits + '\n');

    // One character more and the text is cut so that the newline still ends the record.
    for (const int textLength : {longest - int(debugLabel.size()), 300, 5000}) {
        const QByteArray text(textLength, 'b');
        const QByteArray record = LogTrace::DebugRecord(text.constData());
        QCOMPARE(record.size(), longest);
        QCOMPARE(record, debugLabel + text.left(longest - debugLabel.size() - 1) + '\n');
    }

    const QByteArray longName(400, 'n');
    const QByteArray start = LogTrace::StartRecord(longName.constData(), TraceTime{1, 2, 3, 4});
    QCOMPARE(start.size(), longest);
    QVERIFY(start.startsWith("FUNCT START: nnnn"));
    QVERIFY(start.endsWith("n\n"));
    QCOMPARE(LogTrace::WarningRecord(longName.constData()).size(), longest);
    QCOMPARE(LogTrace::EndRecord(longName.constData(), TraceTime{}).size(), longest);
}

void TestLog::readsTheLocalTime() {
    // A zone far from UTC tells local time from universal time.
    const QByteArray oldZone = qgetenv("TZ");
    qputenv("TZ", "<+0530>-5:30");
    tzset();

    const QTime before = QTime::currentTime();
    const TraceTime now = TraceTime::Now();
    const QTime after = QTime::currentTime();

    if (oldZone.isNull()) {
        qunsetenv("TZ");
    } else {
        qputenv("TZ", oldZone);
    }
    tzset();

    QVERIFY(now.microseconds >= 0 && now.microseconds <= 999999);
    if (after < before) {
        QSKIP("The clock passed midnight during the test");
    }
    const QTime traced(now.hour, now.minute, now.second);
    QVERIFY2(traced >= QTime(before.hour(), before.minute(), before.second()) && traced <= after,
             qPrintable(traced.toString() + " not within " + before.toString() + ".." +
                        after.toString()));
}

void TestLog::writesNothingWhileTracingIsOff() {
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString oldCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(folder.path()));
    // Not even Qt's complaint about writing to a closed file.
    QTest::failOnWarning(QRegularExpression(".*"));
    {
        LogTrace trace("Vantor");
        trace.StartFunctionTrace("Vantor::Vantor");
        trace.LogDebug("debug");
        trace.LogWarning("warning");
        trace.EndFunctionTrace("Vantor::Vantor");
    }
    QVERIFY(QDir::setCurrent(oldCurrent));
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList());
}

QTEST_GUILESS_MAIN(TestLog)
#include "tst_log.moc"
