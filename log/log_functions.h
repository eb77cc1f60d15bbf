#pragma once

// The trace front that the game's functions call. Tracing is switched off: the bodies are empty and
// inline, so a trace costs nothing.
class log_functions {
  public:
    static void LOG_DEBUG(const char*) {}
    static void LOG_WARNING(const char*) {}
    static void START_FUNCTION_TRACE(const char*) {}
    static void END_FUNCTION_TRACE(const char*) {}
};

// Opens a function's trace record where it is declared and closes it on every way out of the scope.
class FunctionTrace {
  public:
    explicit FunctionTrace(const char* functionName) : name(functionName) {
        log_functions::START_FUNCTION_TRACE(name);
    }
    ~FunctionTrace() { log_functions::END_FUNCTION_TRACE(name); }
    FunctionTrace(const FunctionTrace&) = delete;
    FunctionTrace& operator=(const FunctionTrace&) = delete;

  private:
    const char* name;
};
