#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "tests/support/helper_check.h"

// Outside readers that check our files. A peer that is not installed makes a
// test skip with a message, or fail when FLN_REQUIRE_PEERS=1 (CI).
namespace peers {

struct Result
{
    bool available = false; // false: the program or its module is missing
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs a program found on PATH (or given by full path).
Result run(const QString& program, const QStringList& args, int timeoutMs = 60000);

// Runs a script with Debian's own interpreter, which owns the python3-*
// modules; a missing module counts as a missing peer.
Result python(const QString& script, const QStringList& args = {}, int timeoutMs = 60000);

bool required();

} // namespace peers

// Skips the test (or fails it in CI) when the peer of `result` is missing;
// a helper that does so is called through FLN_CHECK.
#define FLN_NEED_PEER(result, name)                                                                \
    do {                                                                                           \
        if (!(result).available) {                                                                 \
            if (peers::required())                                                                 \
                QFAIL(qPrintable(QStringLiteral("peer missing: %1").arg(name)));                   \
            FLN_SKIP(qPrintable(QStringLiteral("peer missing: %1").arg(name)));                    \
        }                                                                                          \
    } while (0)
