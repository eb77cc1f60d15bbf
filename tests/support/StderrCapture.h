#pragma once

#include <QStringList>
#include <functional>

// The lines the process writes to standard error while `run` runs, taken into a file of their own
// instead, so that a test can count the lines the game says there.
QStringList StderrLines(const std::function<void()>& run);
