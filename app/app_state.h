#pragma once

#include "data/measurement_document.h"
#include "platform/app_title.h"

#include <QString>

// The few values that live for the whole run and that several windows share.
// One instance, owned by the program start and handed to the windows. The
// document's share (the flags, the statistics, the archive image, the
// regional settings) is what the document commands work on.
struct AppState : DocumentState
{
    QString defaultDir; // where the file dialogs start ("Default_dir")
};
