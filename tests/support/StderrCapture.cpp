#include "tests/support/StderrCapture.h"

#include <unistd.h>
#include <QTemporaryFile>
#include <cstdio>

#include "tests/support/NodeState.h"

QStringList StderrLines(const std::function<void()>& run) {
    QTemporaryFile file;
    if (!file.open())
        return {QStringLiteral("(standard error could not be taken)")};
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    dup2(file.handle(), STDERR_FILENO);
    run();
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    // Read apart from the descriptor the error stream shared.
    return QString::fromLocal8Bit(Contents(file.fileName())).split('\n', Qt::SkipEmptyParts);
}
