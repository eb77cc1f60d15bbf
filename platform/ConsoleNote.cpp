#include "platform/ConsoleNote.h"

#include <cstdio>

#include "platform/GameFacts.h"

void SayOnConsole(const QString& line) {
    std::fprintf(stderr, "%s: %s\n", GAME_NAME, qPrintable(line));
    std::fflush(stderr);
}
