#pragma once

#include <QDeadlineTimer>
#include <QTest>

// Processes events until `condition` holds or `timeoutMs` have passed, and
// says whether it held. For GoogleTest: Qt's QTRY_ macros report to Qt's own
// test log and leave the test body early, so a GoogleTest test using them
// would pass on a failure.
template <typename Condition>
bool WaitUntil(Condition condition, int timeoutMs = 5000) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QTest::qWait(10);
    }
    return true;
}
