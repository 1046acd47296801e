// Opening a table file of any content: every input ends in a failure text or
// in a table that can be walked, read, appended to and packed.
#include "data/dbf_table.h"
#include "fuzz/fuzz_work_dir.h"
#include "platform/app_error.h"

#include <cstdint>

namespace {

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
    static FuzzWorkDir dir(QStringLiteral("fuzz_table"));
    const QString path = dir.write(QStringLiteral("t.db"), data, size);
    if (path.isEmpty())
        return 0;
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
