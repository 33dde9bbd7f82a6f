#include "checker_process.h"

#include "checker_wire.h"

#include <QFile>
#include <QDeadlineTimer>
#include <QMutex>
#include <QMutexLocker>
#include <atomic>
#include <set>
#include <tuple>

#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;

namespace checker_process {
namespace {
using safe_check::Result;

const QByteArray& checkerProgram() {
    static const QByteArray program = QFile::encodeName(checker_process::program());
    return program;
}

// What threads' checkers use as they end, which can be after the program's statics are gone:
// locks that need no destruction, and sets never destroyed.
QBasicMutex runningMutex;
std::set<pid_t>& running = *new std::set<pid_t>;
std::atomic_bool lasting = false;

void noteRunning(pid_t child, bool isRunning) {
    QMutexLocker locker(&runningMutex);
    if (isRunning)
        running.insert(child);
    else
        running.erase(child);
}

QString failureOf(bool timedOut, int status, int limitMs) {
    if (timedOut)
        return QStringLiteral("HTML Tidy took longer than %1 seconds on this page and was stopped.").arg(limitMs / 1000);
    if (WIFSIGNALED(status))
        return WTERMSIG(status) == SIGKILL ? QStringLiteral("The check was stopped.")
                                           : QStringLiteral("HTML Tidy failed on this page (signal %1).").arg(WTERMSIG(status));
    return QStringLiteral("HTML Tidy failed on this page.");
}

void reap(pid_t child, bool kill, int* status) {
    if (kill)
        ::kill(child, SIGKILL);
    while (::waitpid(child, status, 0) < 0 && errno == EINTR) {
    }
    noteRunning(child, false);
}

// Starts the checker program with the other end of a socket as its file 3; nullopt when it
// cannot. The program is exec'd at once (posix_spawn): nothing of this multi-threaded program
// runs in the child, which starts with its own Qt and Tidy, the signals at their defaults, and
// no file of ours but the socket.
std::optional<std::pair<pid_t, int>> spawnChecker() {
    const QByteArray& program = checkerProgram();
    if (program.isEmpty())
        return std::nullopt;
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
        return std::nullopt;
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    // dup2 clears close-on-exec on file 3 (also when the socket is file 3 already).
    posix_spawn_file_actions_adddup2(&files, fds[1], checker_wire::kCheckerSocket);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Another thread's checker socket, made at the same moment, must not reach this child:
    // that checker would never hear its socket's end.
    posix_spawn_file_actions_addclosefrom_np(&files, checker_wire::kCheckerSocket + 1);
#endif
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    const QByteArray parent = QByteArray::number(qint64(::getpid()));
    char* const argv[] = {const_cast<char*>(program.constData()), const_cast<char*>(parent.constData()), nullptr};
    pid_t child = -1;
    const int error = ::posix_spawn(&child, program.constData(), &files, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attributes);
    ::close(fds[1]);
    if (error != 0) {
        ::close(fds[0]);
        return std::nullopt;
    }
    noteRunning(child, true);
    return std::pair(child, fds[0]);
}

class LastingChecker;
QBasicMutex lastingMutex;
std::set<LastingChecker*>& lastingCheckers = *new std::set<LastingChecker*>; // every thread's

/// A checker program that checks page after page, sent over a socket. For a program that checks
/// many pages, one is kept a thread, started when the thread's first page comes and again after
/// a page killed it; otherwise one is started for each page.
class LastingChecker {
public:
    LastingChecker() {
        QMutexLocker locker(&lastingMutex);
        lastingCheckers.insert(this);
    }
    ~LastingChecker() {
        QMutexLocker locker(&lastingMutex);
        lastingCheckers.erase(this);
        stop(false);
    }

    std::optional<Result> check(const QString& text, const QSet<QString>& ignoredKeys, int limitMs, int accessibility) {
        if (child_ < 0 && !start())
            return std::nullopt;
        const QByteArray request = checker_wire::encodeRequest({text, accessibility, ignoredKeys});
        QByteArray bytes;
        bool timedOut = false;
        Result result;
        noteRunning(child_, true); // cancelAll() stops it only while it checks
        const bool answered = checker_wire::writeMessage(fd_, request) &&
                              checker_wire::readMessage(fd_, QDeadlineTimer(limitMs), &bytes, &timedOut) &&
                              checker_wire::decodeProblems(bytes, &result.problems);
        noteRunning(child_, false);
        if (answered)
            return result;
        const int status = stop(true);
        result.problems.clear();
        result.failure = failureOf(timedOut, status, limitMs);
        return result;
    }

    // Ends the child (killed when @p kill, else told by the socket's end) and returns its status.
    int stop(bool kill) {
        hangUp();
        return reapChild(kill);
    }

    // The two halves of stop(false), for ending every thread's child from one thread when no
    // check runs: all are told first, so that they end together, then each is waited for.
    void hangUp() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    int reapChild(bool kill) {
        int status = 0;
        if (child_ >= 0)
            reap(child_, kill, &status);
        child_ = -1;
        return status;
    }

private:
    bool start() {
        const auto made = spawnChecker();
        if (!made)
            return false;
        std::tie(child_, fd_) = *made;
        noteRunning(child_, false);
        return true;
    }

    pid_t child_ = -1;
    int fd_ = -1;
};

} // namespace

std::optional<Result> check(const QString& text, const QSet<QString>& ignoredKeys, int limitMs, int accessibility) {
    if (lasting) {
        thread_local LastingChecker checker;
        return checker.check(text, ignoredKeys, limitMs, accessibility);
    }
    LastingChecker checker;
    return checker.check(text, ignoredKeys, limitMs, accessibility);
}

void keepBetweenPages(bool keep) {
    lasting = keep;
    if (!keep) {
        QMutexLocker locker(&lastingMutex);
        for (LastingChecker* checker : lastingCheckers)
            checker->hangUp();
        for (LastingChecker* checker : lastingCheckers)
            checker->reapChild(false);
    }
}

void cancelAll() {
    QMutexLocker locker(&runningMutex);
    for (const pid_t child : running)
        ::kill(child, SIGKILL);
}

} // namespace checker_process
