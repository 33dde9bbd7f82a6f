#include "checker_wire.h"

#include <QDeadlineTimer>
#include <limits>

#include <windows.h>

namespace checker_wire {
namespace {
bool readExactly(HANDLE in, char* data, qsizetype size) {
    while (size > 0) {
        DWORD got = 0;
        if (!ReadFile(in, data, DWORD(std::min<qsizetype>(size, 1 << 20)), &got, nullptr) || got == 0)
            return false;
        data += got;
        size -= got;
    }
    return true;
}

// Reads from a pipe by @p deadline; anonymous pipes have no timed reads, so what has come is
// asked for and the wait between is on the process, which ends it early when the process ends.
bool readExactly(HANDLE pipe, HANDLE process, char* data, qsizetype size, const QDeadlineTimer& deadline, bool* timedOut) {
    DWORD pause = 1;
    while (size > 0) {
        DWORD available = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr))
            return false; // the process has gone and its end of the pipe with it
        if (available > 0) {
            if (!readExactly(pipe, data, std::min<qsizetype>(size, available)))
                return false;
            const qsizetype got = std::min<qsizetype>(size, available);
            data += got;
            size -= got;
            pause = 1;
            continue;
        }
        if (deadline.hasExpired()) {
            *timedOut = true;
            return false;
        }
        WaitForSingleObject(process, DWORD(std::min<qint64>(pause, deadline.remainingTime())));
        pause = std::min<DWORD>(pause * 2, 10);
    }
    return true;
}

bool writeAll(HANDLE out, const char* data, qsizetype size) {
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(out, data, DWORD(std::min<qsizetype>(size, 1 << 20)), &written, nullptr) || written == 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}
} // namespace

bool writeMessage(void* pipe, const QByteArray& bytes) {
    const quint64 size = quint64(bytes.size());
    return writeAll(pipe, reinterpret_cast<const char*>(&size), sizeof size) && writeAll(pipe, bytes.constData(), bytes.size());
}

bool readMessage(void* pipe, void* process, const QDeadlineTimer& deadline, QByteArray* bytes, bool* timedOut) {
    quint64 size = 0;
    if (!readExactly(pipe, process, reinterpret_cast<char*>(&size), sizeof size, deadline, timedOut) ||
        size > quint64(std::numeric_limits<qsizetype>::max() / 2))
        return false;
    bytes->resize(qsizetype(size));
    return readExactly(pipe, process, bytes->data(), bytes->size(), deadline, timedOut);
}

int serveStandardStreams() {
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    for (;;) {
        quint64 size = 0;
        if (!readExactly(in, reinterpret_cast<char*>(&size), sizeof size))
            return 0; // the editor is done with this checker
        if (size > quint64(std::numeric_limits<qsizetype>::max() / 2))
            return 1;
        QByteArray bytes(qsizetype(size), Qt::Uninitialized);
        Request request;
        if (!readExactly(in, bytes.data(), bytes.size()) || !decodeRequest(bytes, &request) ||
            !writeMessage(out, encodeProblems(checkTags(request.text, request.ignoredKeys, request.accessibility))))
            return 1;
    }
}

} // namespace checker_wire
