#pragma once

#include <QStringList>
#include <QTextStream>

// vantor --verify: runs each replay file again, without a window, and prints one line per file:
// the race, its result, and whether running it again reproduces that result. A file that cannot
// be read is said on errors. Returns the exit status: 0 when every file reproduces, 1 when any
// does not, 2 when any cannot be read.
int VerifyReplays(const QStringList& files, QTextStream& out, QTextStream& errors);
