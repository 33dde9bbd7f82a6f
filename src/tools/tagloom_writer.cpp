// tagloom-writer (Windows): writes the bytes of one file over the content of another, in place,
// so that the second keeps its identity (its other names, its permissions), then removes the
// first. Tagloom starts it for such a save and waits for it: if Tagloom is killed half way, this
// process still finishes, so the file is never left half written. Not meant to be run by hand.
#include <windows.h>
#include <shellapi.h>

namespace {
bool copyInto(HANDLE from, HANDLE to) {
    static char buffer[1 << 20];
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(to, start, nullptr, FILE_BEGIN))
        return false;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(from, buffer, sizeof buffer, &got, nullptr))
            return false;
        if (got == 0)
            break;
        for (DWORD done = 0; done < got;) {
            DWORD written = 0;
            if (!WriteFile(to, buffer + done, got - done, &written, nullptr) || written == 0)
                return false;
            done += written;
        }
    }
    return SetEndOfFile(to) && FlushFileBuffers(to);
}
} // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc != 3)
        return 2;
    const HANDLE from = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (from == INVALID_HANDLE_VALUE)
        return 3;
    const HANDLE to = CreateFileW(argv[2], GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (to == INVALID_HANDLE_VALUE)
        return 4;
    const bool written = copyInto(from, to);
    const DWORD error = written ? 0 : GetLastError();
    CloseHandle(to);
    CloseHandle(from);
    if (written)
        DeleteFileW(argv[1]);
    return written ? 0 : int(error & 0xFFFF) | 0x10000;
}
