#pragma once

#include <sys/resource.h>

#include <csignal>

// Runs `write` with this process's file size limit lowered to `bytes`: a write past it fails as on
// a full disk, for root too. Returns what `write` returned, or true when the limit could not be
// set, so that a check for a failed write cannot pass by accident.
template <typename Write>
bool WithFileSizeLimit(rlim_t bytes, Write write) {
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    const rlimit limited{bytes, previous.rlim_max};
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    const bool applied = setrlimit(RLIMIT_FSIZE, &limited) == 0;
    const bool result = write();
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, oldHandler);
    return !applied || result;
}
