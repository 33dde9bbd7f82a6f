#pragma once

#include <QString>

/// A failed file operation: the error number of the file service and the text shown to the user.
struct FileError {
    int number = 0;
    QString description;
    explicit operator bool() const { return number != 0; }
};

namespace file_error {
// The numbers users know from the file service's messages.
inline constexpr int kOutOfMemory = 7;
inline constexpr int kFileNotFound = 53;
inline constexpr int kBadFileMode = 54;
inline constexpr int kDeviceIo = 57;
inline constexpr int kDiskFull = 61;
inline constexpr int kPathFileAccess = 75;
inline constexpr int kPathNotFound = 76;

/// "Description: reason" and the path on a line of its own.
FileError failure(int number, const QString& reason, const QString& path);
/// The failure for a system error number (errno).
FileError fromErrno(int err, const QString& path);
} // namespace file_error
