#include "tests/support/helper_check.h"

namespace {

QByteArray runningTest()
{
    return QByteArray(QTest::currentTestFunction()) + '/' + QTest::currentDataTag();
}

QByteArray& skippedTest()
{
    static QByteArray test;
    return test;
}

} // namespace

void helperCheck::noteSkip()
{
    skippedTest() = runningTest();
}

bool helperCheck::skippedHere()
{
    return !skippedTest().isEmpty() && skippedTest() == runningTest();
}
