#include "data/dbf_pack.h"

#include "data/dbf_errors.h"
#include "data/dbf_file.h"

#include "platform/app_error.h"

namespace {

// The unseen file's own failures name the file; a failed pack says what
// every failed table write says.
template <typename Step>
void asTableWrite(Step step)
{
    try {
        step();
    } catch (const AppError&) {
        throw AppError(DbfErrors::kWriteError);
    }
}

} // namespace

DbfPack::DbfPack(DbfFile& file, const QString& tablePath)
{
    asTableWrite([&] { m_out = std::make_unique<OutputFile>(tablePath); });
    if (!file.writePackedCopy(*m_out))
        throw AppError(DbfErrors::kWriteError);
}

DbfPack::~DbfPack() = default;

void DbfPack::replaceTable()
{
    asTableWrite([&] { m_out->commit(); });
}
