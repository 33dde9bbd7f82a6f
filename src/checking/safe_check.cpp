#include "safe_check.h"

#include "checker_wire.h"
#include "colouring/tag_matching.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QDeadlineTimer>
#include <QMutex>
#include <QMutexLocker>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <optional>
#include <tuple>
#include <set>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace safe_check {

int nestingDepth(QStringView text) {
    const TagMap map = TagMap::build(text);
    const std::vector<TagMap::Tag>& tags = map.tags();
    std::vector<int> open;
    std::vector<char> isOpen(tags.size(), 0);
    size_t deepest = 0;
    for (int i = 0; i < int(tags.size()); ++i) {
        const TagMap::Tag& tag = tags[size_t(i)];
        if (!tag.endTag) {
            // Void elements hold nothing; one ended implicitly (p, li, td) ends at its next sibling.
            if (tag.status == TagMap::Status::Matched || tag.status == TagMap::Status::Unmatched) {
                open.push_back(i);
                isOpen[size_t(i)] = 1;
                deepest = std::max(deepest, open.size());
            }
        } else if (tag.status == TagMap::Status::Matched && tag.partner >= 0 && isOpen[size_t(tag.partner)]) {
            // Closes its element and whatever is still open inside it.
            while (!open.empty()) {
                const int last = open.back();
                open.pop_back();
                isOpen[size_t(last)] = 0;
                if (last == tag.partner)
                    break;
            }
        }
    }
    return int(deepest);
}

int timeLimitMs(qsizetype characters) {
    // Tidy checks about 10 MB a second here: 20 s, and a second more per million characters, is far
    // more than any page it can check needs (the 5.9 MB page takes half a second).
    return int(std::min<qint64>(20'000 + characters / 1000, 600'000));
}

namespace {
qsizetype possibleStartTags(QStringView text) {
    qsizetype count = 0;
    for (qsizetype i = text.indexOf(u'<'); i >= 0; i = text.indexOf(u'<', i + 1))
        count += i + 1 == text.size() || text[i + 1] != u'/';
    return count;
}

QString tooDeep(int depth) {
    return QStringLiteral("The page nests elements %1 deep; HTML Tidy can check pages up to %2 deep. "
                          "Unclosed elements add up: close them, or check a part of the page.")
        .arg(depth)
        .arg(kDeepestNesting);
}

#ifdef Q_OS_UNIX
// The checker program: named by TAGLOOM_CHECKER, else beside this program (as built), else where
// it is installed (libexec, from the program's folder).
const QByteArray& checkerProgram() {
    static const QByteArray program = [] {
        QStringList candidates;
        if (const QString named = qEnvironmentVariable("TAGLOOM_CHECKER"); !named.isEmpty())
            candidates << named;
        if (QCoreApplication::instance()) {
            const QString here = QCoreApplication::applicationDirPath();
            candidates << here + QStringLiteral("/tagloom-checker")
                       << QDir::cleanPath(here + QStringLiteral("/" TAGLOOM_CHECKER_DIR "/tagloom-checker"));
        }
        for (const QString& candidate : candidates)
            if (const QFileInfo info(candidate); info.isFile() && info.isExecutable())
                return QFile::encodeName(info.absoluteFilePath());
        return QByteArray();
    }();
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
#endif

QString notStarted() {
    return QStringLiteral("The page was not checked: HTML Tidy's checker program (tagloom-checker) could not be "
                          "started. It comes with Tagloom; reinstalling Tagloom brings it back.");
}
} // namespace

Result check(const QString& text, const QSet<QString>& ignoredKeys, int limitMs, int accessibility) {
    // Each element opens with a '<' that does not start an end tag: a page with few of them cannot
    // nest too deeply, and counting them is far quicker than matching its tags.
    if (possibleStartTags(text) > kDeepestNesting)
        if (const int depth = nestingDepth(text); depth > kDeepestNesting)
            return {{}, tooDeep(depth)};
#ifdef Q_OS_UNIX
    if (lasting) {
        thread_local LastingChecker checker;
        if (std::optional<Result> result = checker.check(text, ignoredKeys, limitMs, accessibility))
            return std::move(*result);
    } else {
        LastingChecker checker;
        if (std::optional<Result> result = checker.check(text, ignoredKeys, limitMs, accessibility))
            return std::move(*result);
    }
    return {{}, notStarted()};
#else
    (void)limitMs;
#endif
    return {checkTags(text, ignoredKeys, accessibility), {}};
}

void keepCheckersBetweenPages(bool keep) {
#ifdef Q_OS_UNIX
    lasting = keep;
    if (!keep) {
        QMutexLocker locker(&lastingMutex);
        for (LastingChecker* checker : lastingCheckers)
            checker->hangUp();
        for (LastingChecker* checker : lastingCheckers)
            checker->reapChild(false);
    }
#else
    (void)keep;
#endif
}

void cancelAll() {
#ifdef Q_OS_UNIX
    QMutexLocker locker(&runningMutex);
    for (const pid_t child : running)
        ::kill(child, SIGKILL);
#endif
}

} // namespace safe_check
