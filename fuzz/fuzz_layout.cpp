// The stored column layout comes from the user's settings, which anyone can
// edit: any text must either read or fail with AppError, and whatever reads
// must come back the same after writing it again.
#include "components/column_layout_text.h"
#include "platform/app_error.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    GridColumnList columns;
    try {
        columns = readColumnLayout(normalizeLineEnds(text));
    } catch (const AppError&) {
        return 0;
    }
    const QString written = writeColumnLayout(columns);
    GridColumnList again;
    try {
        again = readColumnLayout(written);
    } catch (const AppError&) {
        std::abort(); // the writer produced a text its reader refuses
    }
    if (again != columns || writeColumnLayout(again) != written)
        std::abort();
    return 0;
}
