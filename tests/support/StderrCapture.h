#pragma once

#include <QStringList>
#include <QTemporaryFile>

// While this lives, what the process writes to standard error goes to a file of its own, so that
// a test can count the lines the game says there.
class StderrCapture {
  public:
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    // Every line written so far.
    QStringList Lines();

  private:
    QTemporaryFile file;
    int savedStderr = -1;
};
