#include "log/LogTrace.h"

#include <sys/time.h>

#include <cstdio>
#include <ctime>

namespace {

// Null texts are traced as empty rather than handed to printf.
const char* Printable(const char* text) {
    return text != nullptr ? text : "";
}

// Turns what snprintf left in the buffer into the record. snprintf returns the length the record
// would have had; a longer record was cut at the buffer's end, and its last kept character becomes
// the newline so that the log still has one record per line.
QByteArray Finish(char (&buffer)[LogTrace::RECORD_BUFFER_SIZE], int wanted) {
    if (wanted < 0) {
        return QByteArray();
    }
    constexpr int longest = LogTrace::RECORD_BUFFER_SIZE - 1;
    if (wanted > longest) {
        buffer[longest - 1] = '\n';
        return QByteArray(buffer, longest);
    }
    return QByteArray(buffer, wanted);
}

// Start and end records share one layout, the StartTime label included.
QByteArray FunctionRecord(const char* event, const char* name, const TraceTime& time) {
    char buffer[LogTrace::RECORD_BUFFER_SIZE] = {};
    return Finish(
        buffer,
        std::snprintf(buffer, sizeof buffer, "FUNCT %s: %s StartTime: %02d:%02d:%02d:%ld\n", event,
                      Printable(name), time.hour, time.minute, time.second, time.microseconds));
}

}  // namespace

TraceTime TraceTime::Now() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    timeval precise{};
    gettimeofday(&precise, nullptr);
    return TraceTime{local.tm_hour, local.tm_min, local.tm_sec, long(precise.tv_usec)};
}

LogTrace::LogTrace(const char* name) {
    logFile.setFileName(QString::fromLocal8Bit(name) + ".log");
}

LogTrace::~LogTrace() {
    logFile.close();
}

QByteArray LogTrace::DebugRecord(const char* text) {
    char buffer[RECORD_BUFFER_SIZE] = {};
    return Finish(buffer, std::snprintf(buffer, sizeof buffer, "DEBUG: %s\n", Printable(text)));
}

QByteArray LogTrace::WarningRecord(const char* text) {
    char buffer[RECORD_BUFFER_SIZE] = {};
    return Finish(buffer, std::snprintf(buffer, sizeof buffer, "WARNING: %s\n", Printable(text)));
}

QByteArray LogTrace::StartRecord(const char* name, const TraceTime& time) {
    return FunctionRecord("START", name, time);
}

QByteArray LogTrace::EndRecord(const char* name, const TraceTime& time) {
    return FunctionRecord("END", name, time);
}

void LogTrace::LogDebug(const char* text) {
    Write(DebugRecord(text), Flush::No);
}

void LogTrace::LogWarning(const char* text) {
    Write(WarningRecord(text), Flush::No);
}

void LogTrace::StartFunctionTrace(const char* name) {
    Write(StartRecord(name, TraceTime::Now()), Flush::Yes);
}

void LogTrace::EndFunctionTrace(const char* name) {
    Write(EndRecord(name, TraceTime::Now()), Flush::Yes);
}

void LogTrace::Write(const QByteArray& record, Flush flush) {
    // The file stays closed while tracing is off; touching it then would only make Qt complain
    // that the device is not open.
    if (!logFile.isOpen()) {
        return;
    }
    logFile.write(record);
    if (flush == Flush::Yes) {
        logFile.flush();
    }
}
