// Opening a table file of any content: every input ends in a failure text or
// in a table that can be walked, read, appended to and packed.
#include "data/dbf_table.h"
#include "platform/app_error.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdint>

namespace {

QString workDir()
{
    static const QString dir = [] {
        const QString d = QDir::temp().filePath(
            QStringLiteral("fuzz_table_%1").arg(QCoreApplication::applicationPid()));
        QDir().mkpath(d);
        return d;
    }();
    return dir;
}

void walk(DbfTable& t)
{
    const int fields = int(t.fields().size());
    int rows = 0;
    for (t.first(); !t.eof() && rows < 100000; t.next(), ++rows)
        for (int i = 0; i < fields; ++i)
            try {
                t.value(i);
            } catch (const AppError&) {
                // A small integer out of range: a range error, as it should be.
            }
    t.last();
    t.prior();
    (void)t.rowCount();
    (void)t.recordAt(t.rowCount() / 2);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString path = workDir() + QStringLiteral("/t.db");
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    DbfTable t;
    t.setTableFile(path);
    try {
        t.open(DbfTable::Access::ReadOnly);
        walk(t);
        t.close();
    } catch (const AppError&) {
        return 0;
    }
    try {
        t.open();
        if (!t.isReadOnly()) {
            t.append();
            t.setInteger(QStringLiteral("N"), 7);
            t.setText(QStringLiteral("MODE"), QStringLiteral("Наблюдения"));
            t.post();
            t.first();
            t.deleteRecord();
            t.pack();
            walk(t);
        }
        t.close();
    } catch (const AppError&) {
    }
    return 0;
}
