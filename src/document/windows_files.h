#pragma once

#include "file_error.h"

#include <QString>
#include <string>

#include <windows.h>

/// What the Windows file code shares: handles that close themselves, names as the wide strings the
/// system takes, and its errors as the editor reports them.
namespace windows_files {

/// A handle closed when it goes.
class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() { close(); }
    Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other) {
            close();
            handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
        }
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE get() const { return handle_; }
    void close() {
        if (valid())
            CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

/// @p path as the system takes it: absolute, with backslashes, and in the \\?\ form when long.
std::wstring native(const QString& path);

/// The failure for a system error code (GetLastError()).
FileError failureOf(unsigned long error, const QString& path);

/// The volume and the file's index on it, which stay with the file through renames.
QString fileId(const BY_HANDLE_FILE_INFORMATION& info);

enum class Kind { None, File, Folder, Other };
/// What stands at @p path, without opening it for reading: a device (NUL, COM1, a pipe) is Other.
Kind kindOf(const QString& path);

} // namespace windows_files
