#pragma once

#include <QString>

// The application title.
inline const QString kAppTitle = QStringLiteral("ФЛН-РК2");
