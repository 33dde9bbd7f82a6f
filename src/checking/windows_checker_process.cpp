#include "checker_process.h"

#include "checker_wire.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QMutex>
#include <QMutexLocker>
#include <atomic>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <windows.h>

namespace checker_process {
namespace {
using safe_check::Result;

// What TerminateProcess gives a check that was stopped, apart from a checker that failed.
constexpr DWORD kKilled = 0xf291;

// Every checker is put in this job, which the system closes when the editor ends however it
// ends, and with it every checker: none outlives the program that started it.
HANDLE checkersJob() {
    static const HANDLE job = [] {
        const HANDLE made = CreateJobObjectW(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (made)
            SetInformationJobObject(made, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        return made;
    }();
    return job;
}

// What threads' checkers use as they end, which can be after the program's statics are gone.
QBasicMutex runningMutex;
std::set<HANDLE>& running = *new std::set<HANDLE>;
std::atomic_bool lasting = false;

void noteRunning(HANDLE process, bool isRunning) {
    QMutexLocker locker(&runningMutex);
    if (isRunning)
        running.insert(process);
    else
        running.erase(process);
}

struct Child {
    HANDLE process = nullptr;
    HANDLE toChild = nullptr;   ///< its standard input
    HANDLE fromChild = nullptr; ///< its standard output
};

// Starts the checker program with pipes for its standard input and output; nothing else of this
// program is handed down (another thread's checker pipes would keep that checker from ever
// hearing its input end). Suspended until it is in the job, so that it never runs outside it.
std::optional<Child> spawnChecker() {
    const QString name = program();
    if (name.isEmpty())
        return std::nullopt;
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE childIn = nullptr, toChild = nullptr, fromChild = nullptr, childOut = nullptr;
    if (!CreatePipe(&childIn, &toChild, &inherited, 0))
        return std::nullopt;
    if (!CreatePipe(&fromChild, &childOut, &inherited, 0)) {
        CloseHandle(childIn);
        CloseHandle(toChild);
        return std::nullopt;
    }
    SetHandleInformation(toChild, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(fromChild, HANDLE_FLAG_INHERIT, 0);
    HANDLE handedDown[] = {childIn, childOut};
    SIZE_T listSize = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
    std::vector<char> list(listSize);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(list.data());
    const bool onlyThese = InitializeProcThreadAttributeList(attributes, 1, 0, &listSize) &&
                           UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handedDown,
                                                     sizeof handedDown, nullptr, nullptr);
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = childIn;
    startup.StartupInfo.hStdOutput = childOut;
    startup.StartupInfo.hStdError = nullptr;
    if (onlyThese)
        startup.lpAttributeList = attributes;
    const std::wstring exe = QDir::toNativeSeparators(name).toStdWString();
    std::wstring commandLine = L"\"" + exe + L"\" " + std::to_wstring(GetCurrentProcessId());
    PROCESS_INFORMATION started{};
    const BOOL made = CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                     CREATE_SUSPENDED | CREATE_NO_WINDOW | (onlyThese ? EXTENDED_STARTUPINFO_PRESENT : 0),
                                     nullptr, nullptr, &startup.StartupInfo, &started);
    if (onlyThese)
        DeleteProcThreadAttributeList(attributes);
    CloseHandle(childIn);
    CloseHandle(childOut);
    if (!made) {
        CloseHandle(toChild);
        CloseHandle(fromChild);
        return std::nullopt;
    }
    if (const HANDLE job = checkersJob())
        AssignProcessToJobObject(job, started.hProcess);
    ResumeThread(started.hThread);
    CloseHandle(started.hThread);
    return Child{started.hProcess, toChild, fromChild};
}

/// A checker program fed page after page through its standard input and output.
class LastingChecker {
public:
    LastingChecker() = default;
    ~LastingChecker() { stop(false); }
    LastingChecker(const LastingChecker&) = delete;
    LastingChecker& operator=(const LastingChecker&) = delete;

    std::optional<Result> check(const QString& text, const QSet<QString>& ignoredKeys, int limitMs, int accessibility) {
        if (!child_.process) {
            const std::optional<Child> made = spawnChecker();
            if (!made)
                return std::nullopt;
            child_ = *made;
        }
        QByteArray bytes;
        bool timedOut = false;
        Result result;
        noteRunning(child_.process, true); // cancelAll() stops it only while it checks
        const bool answered =
            checker_wire::writeMessage(child_.toChild, checker_wire::encodeRequest({text, accessibility, ignoredKeys})) &&
            checker_wire::readMessage(child_.fromChild, child_.process, QDeadlineTimer(limitMs), &bytes, &timedOut) &&
            checker_wire::decodeProblems(bytes, &result.problems);
        noteRunning(child_.process, false);
        if (answered)
            return result;
        const DWORD status = stop(true);
        result.problems.clear();
        result.failure = timedOut ? QStringLiteral("HTML Tidy took longer than %1 seconds on this page and was stopped.")
                                        .arg(limitMs / 1000)
                         : status == kKilled ? QStringLiteral("The check was stopped.")
                                             : QStringLiteral("HTML Tidy failed on this page (exit code 0x%1).")
                                                   .arg(QString::number(status, 16));
        return result;
    }

    // Ends the process (killed when @p kill, else told by its input's end) and returns its exit
    // code.
    DWORD stop(bool kill) {
        hangUp();
        return reapChild(kill);
    }

    // The two halves of stop(false), for ending every thread's checker from one thread.
    void hangUp() {
        if (child_.toChild)
            CloseHandle(child_.toChild);
        child_.toChild = nullptr;
    }
    DWORD reapChild(bool kill) {
        DWORD status = 0;
        if (child_.process) {
            // Killed only if it did not end by itself; a killed one keeps the code it ended with.
            if (kill && WaitForSingleObject(child_.process, 0) == WAIT_TIMEOUT)
                TerminateProcess(child_.process, kKilled);
            if (WaitForSingleObject(child_.process, 10000) == WAIT_TIMEOUT)
                TerminateProcess(child_.process, kKilled);
            WaitForSingleObject(child_.process, INFINITE);
            GetExitCodeProcess(child_.process, &status);
            CloseHandle(child_.process);
        }
        if (child_.fromChild)
            CloseHandle(child_.fromChild);
        child_ = {};
        return status;
    }

private:
    Child child_;
};

// For a program that checks many pages, the checkers wait here between pages, each taken by the
// thread whose page comes next (a pipe and a process handle belong to no thread). Nothing is kept
// per thread: MinGW ends thread_local objects under the loader lock, where waiting for a process
// can deadlock.
QBasicMutex idleMutex;
std::vector<LastingChecker*>& idle = *new std::vector<LastingChecker*>;
} // namespace

std::optional<Result> check(const QString& text, const QSet<QString>& ignoredKeys, int limitMs, int accessibility) {
    if (!lasting) {
        LastingChecker checker;
        return checker.check(text, ignoredKeys, limitMs, accessibility);
    }
    std::unique_ptr<LastingChecker> checker;
    {
        QMutexLocker locker(&idleMutex);
        if (!idle.empty()) {
            checker.reset(idle.back());
            idle.pop_back();
        }
    }
    if (!checker)
        checker = std::make_unique<LastingChecker>();
    std::optional<Result> result = checker->check(text, ignoredKeys, limitMs, accessibility);
    QMutexLocker locker(&idleMutex);
    idle.push_back(checker.release());
    return result;
}

void keepBetweenPages(bool keep) {
    lasting = keep;
    if (!keep) {
        QMutexLocker locker(&idleMutex);
        for (LastingChecker* checker : idle)
            checker->hangUp(); // all are told first, so that they end together
        for (LastingChecker* checker : idle)
            delete checker;
        idle.clear();
    }
}

void cancelAll() {
    QMutexLocker locker(&runningMutex);
    for (const HANDLE process : running)
        TerminateProcess(process, kKilled);
}

} // namespace checker_process
