#pragma once

#include <QByteArray>
#include <QtTest>

// QCOMPARE inside a loop over cases: a failure names the case (any text QByteArray takes) before
// the compared expression, and shows both values.
#define COMPARE_CASE(actual, expected, name)                                                  \
    do {                                                                                      \
        if (!QTest::qCompare(actual, expected, (QByteArray(name) + ": " #actual).constData(), \
                             #expected, __FILE__, __LINE__))                                  \
            return;                                                                           \
    } while (false)
