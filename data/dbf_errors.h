#pragma once

#include <QString>

// The failure texts of the table layer, as the user sees them.
namespace DbfErrors {

inline const QString kInvalidFile = QStringLiteral("Invalid DBF file.");
inline const QString kFieldCount =
    QStringLiteral("Invalid field count: %d (must be between 1 and 4095).");
inline const QString kFieldNotFound = QStringLiteral("Field '%s' not found");
inline const QString kTypeMismatch =
    QStringLiteral("Type mismatch for field '%s', expecting: %s actual: %s");
inline const QString kReadOnly = QStringLiteral("Cannot modify a read-only dataset");
inline const QString kWriteError = QStringLiteral("Error while writing occurred. (Disk full?)");
inline const QString kIndexWriteError =
    QStringLiteral("Error while writing occurred; indexes probably corrupted. (Disk full?)");
inline const QString kReadError = QStringLiteral("Error while reading occurred.");
inline const QString kNotEditing = QStringLiteral("Dataset not in edit or insert mode");
inline const QString kClosed = QStringLiteral("Cannot perform this operation on a closed dataset");
inline const QString kOpenDataset =
    QStringLiteral("Cannot perform this operation on an open dataset");
inline const QString kEmpty = QStringLiteral("Cannot perform this operation on an empty dataset");
inline const QString kCannotOpen = QStringLiteral("Cannot open table %s: %s");
inline const QString kCannotCreate = QStringLiteral("Cannot create table %s: %s");

} // namespace DbfErrors
