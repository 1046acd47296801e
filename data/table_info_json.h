#pragma once

#include "platform/regional_settings.h"

#include <QString>

class DbfTable;

// `fln info --json`: the header facts, the fields and the footers of the open
// table `table` (read from `path`) as one JSON object, in the style of
// `fln summary --json`. A footer figure that cannot be given is null.
QString tableInfoJson(DbfTable& table, const QString& path, const RegionalSettings& rs);
