#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Local wall-clock time of a trace record, down to the microsecond.
struct TraceTime {
    int hour = 0;
    int minute = 0;
    int second = 0;
    long microseconds = 0;

    static TraceTime Now();
};

// Writes debug, warning and function-trace records to the file <name>.log. The game only names the
// file and never opens it, so nothing is ever written; the record formats stay fixed all the same.
class LogTrace {
  public:
    // A record is formatted into a buffer of this size: at most 255 characters and the terminator.
    static constexpr int RECORD_BUFFER_SIZE = 256;

    explicit LogTrace(const char* name);
    ~LogTrace();
    LogTrace(const LogTrace&) = delete;
    LogTrace& operator=(const LogTrace&) = delete;

    void LogDebug(const char* text);
    void LogWarning(const char* text);
    void StartFunctionTrace(const char* name);
    void EndFunctionTrace(const char* name);

    QString fileName() const { return logFile.fileName(); }

    // The records exactly as the writers produce them. A record that would not fit the buffer is
    // cut to 255 characters and still ends its line.
    static QByteArray DebugRecord(const char* text);
    static QByteArray WarningRecord(const char* text);
    static QByteArray StartRecord(const char* name, const TraceTime& time);
    static QByteArray EndRecord(const char* name, const TraceTime& time);

  private:
    enum class Flush { No, Yes };
    void Write(const QByteArray& record, Flush flush);

    QFile logFile;
};
