#include "tests/support/StderrCapture.h"

#include <unistd.h>
#include <cstdio>

StderrCapture::StderrCapture() {
    if (file.open()) {
        std::fflush(stderr);
        savedStderr = dup(STDERR_FILENO);
        dup2(file.handle(), STDERR_FILENO);
    }
}

StderrCapture::~StderrCapture() {
    if (savedStderr >= 0) {
        std::fflush(stderr);
        dup2(savedStderr, STDERR_FILENO);
        close(savedStderr);
    }
}

QStringList StderrCapture::Lines() {
    std::fflush(stderr);
    QFile written(file.fileName());
    if (!written.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromLocal8Bit(written.readAll()).split('\n', Qt::SkipEmptyParts);
}
