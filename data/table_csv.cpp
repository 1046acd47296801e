#include "data/table_csv.h"

#include "data/dbf_table.h"
#include "data/table_row_reader.h"

QString csvField(const QString& text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') &&
        !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

void writeTableCsv(const DbfTable& table, const QList<quint32>* records,
                   const std::function<void(const QString& piece)>& out)
{
    QStringList names;
    for (const DbfField& f : table.fields())
        names << csvField(f.name);
    QString piece = names.join(u',') + QStringLiteral("\r\n");
    const int n = int(table.fields().size());
    TableRowReader rows(table);
    const auto line = [&] {
        for (int i = 0; i < n; ++i) {
            if (i)
                piece += u',';
            piece += csvField(rows.text(i));
        }
        piece += QStringLiteral("\r\n");
        if (piece.size() > 65536) {
            out(piece);
            piece.clear();
        }
    };
    if (records) {
        for (quint32 recNo : *records)
            if (rows.viewRecord(recNo))
                line();
    } else {
        for (bool row = rows.viewFirst(); row; row = rows.viewNext())
            line();
    }
    out(piece);
}
