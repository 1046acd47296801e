#pragma once

#include "data/archive_image.h"
#include "platform/regional_settings.h"

#include <QString>

// Minimum, maximum and rounded mean of T_1 and T_2 over the open table.
// Recomputed only by find_mma; they keep their values in between, also
// across closing and opening tables.
struct TableStatistics
{
    double t1Min = 0, t1Max = 0, t1Mean = 0;
    double t2Min = 0, t2Max = 0, t2Mean = 0;
};

// The few values that live for the whole run and that several windows share.
// One instance, owned by the program start and handed to the windows.
struct AppState
{
    bool tableOpen = false; // a measurement table is open in the main window
    bool modified = false;  // the user may have unsaved changes
    QString defaultDir;     // where the file dialogs start ("Default_dir")
    TableStatistics statistics;
    ArchiveImage archive;
    RegionalSettings regional;
};

// The application title.
inline const QString kAppTitle = QStringLiteral("ФЛН-РК2");
