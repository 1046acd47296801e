// A mutated .mdx beside a valid measurement table whose header says it has a
// production index: parsing it and opening the table must never crash; a
// damaged file only costs the sort.
#include "data/dbf_table.h"
#include "data/mdx_file.h"
#include "platform/app_error.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>

namespace {

struct Fixture
{
    QTemporaryDir dir;
    QString table;
    QString index;
    QByteArray tableBytes;

    Fixture()
    {
        table = dir.filePath("data.db");
        index = dir.filePath("data.mdx");
        DbfTable t;
        t.setNewTableLanguageDriver(0xC9);
        t.setTableFile(table);
        t.create();
        t.open();
        const char* modes[] = {"Оперативный", "Наблюдения"};
        for (int i = 1; i <= 70; ++i) {
            t.append();
            t.setInteger("N", i % 9);
            t.setText("MODE", QString::fromUtf8(modes[i % 2]));
            t.setText("DATE", QStringLiteral("%1.01.2024").arg(i % 28 + 1, 2, 10, QChar('0')));
            t.post();
        }
        t.close();
        QFile f(table);
        f.open(QIODevice::ReadOnly);
        tableBytes = f.readAll();
        tableBytes[28] = 1; // a production index is said to exist
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_mdx";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static Fixture fixture;

    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        parseMdx(input);
    } catch (const AppError&) {
    }

    {
        QFile t(fixture.table);
        t.open(QIODevice::WriteOnly | QIODevice::Truncate);
        t.write(fixture.tableBytes);
        QFile m(fixture.index);
        m.open(QIODevice::WriteOnly | QIODevice::Truncate);
        m.write(input);
    }
    try {
        DbfTable table;
        table.setTableFile(fixture.table);
        table.open();
        for (qint64 i = 0; i < table.rowCount(); ++i)
            table.recordAt(i);
        for (table.first(); !table.eof(); table.next())
            table.text("MODE");
        table.selectSortTag(QStringLiteral("tab1"));
        table.last();
        table.edit();
        table.setText("MODE", QStringLiteral("Наблюдения"));
        table.post();
        table.close();
    } catch (const AppError&) {
    }
    return 0;
}
