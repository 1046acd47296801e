#pragma once

#include <QTest>

// QVERIFY, QCOMPARE, QFAIL and QSKIP return from the function they stand
// in. Inside a helper they leave the helper only: the test would go on after
// a failed check or a missing peer, and pile later failures on the first
// one, or a pass on a skip. A test calls such a helper through FLN_CHECK,
// which leaves the test too when the helper failed or skipped it.
#define FLN_CHECK(...)                                                                             \
    do {                                                                                           \
        __VA_ARGS__;                                                                               \
        if (QTest::currentTestFailed() || helperCheck::skippedHere())                              \
            return;                                                                                \
    } while (0)

// The skips a helper takes through FLN_SKIP are remembered for the running
// test function and data row, which QtTest does not tell.
#define FLN_SKIP(message)                                                                          \
    do {                                                                                           \
        helperCheck::noteSkip();                                                                   \
        QSKIP(message);                                                                            \
    } while (0)

namespace helperCheck {
void noteSkip();
bool skippedHere();
} // namespace helperCheck
