#include "safe_check.h"

#include "colouring/tag_matching.h"

#include <QByteArray>
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
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif
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

// What goes over the socket, in this machine's own byte order (it never leaves the machine):
// numbers as they are, strings as their length and UTF-16 code units.
class WireWriter {
public:
    template <typename T>
    void put(T value) {
        bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
    }
    void put(QStringView s) {
        put(quint32(s.size()));
        bytes.append(reinterpret_cast<const char*>(s.utf16()), s.size() * qsizetype(sizeof(char16_t)));
    }
    QByteArray bytes;
};

class WireReader {
public:
    explicit WireReader(const QByteArray& bytes) : at_(bytes.constData()), left_(bytes.size()) {}
    template <typename T>
    bool get(T* value) {
        if (left_ < qsizetype(sizeof(T)))
            return false;
        std::memcpy(value, at_, sizeof(T));
        at_ += sizeof(T);
        left_ -= qsizetype(sizeof(T));
        return true;
    }
    bool get(QString* s) {
        quint32 units = 0;
        if (!get(&units) || quint64(left_) / sizeof(char16_t) < units)
            return false;
        *s = QString(reinterpret_cast<const QChar*>(at_), qsizetype(units));
        at_ += units * sizeof(char16_t);
        left_ -= qsizetype(units * sizeof(char16_t));
        return true;
    }
    bool atEnd() const { return left_ == 0; }

private:
    const char* at_;
    qsizetype left_;
};

// A page can have tens of thousands of problems of a few dozen kinds: each kind's key is sent
// once, and after that as the number of its first sending.
QByteArray serialize(const std::vector<TagProblem>& problems) {
    WireWriter out;
    out.bytes.reserve(64 + qsizetype(problems.size()) * 96);
    out.put(quint32(problems.size()));
    std::vector<QString> keys;
    for (const TagProblem& p : problems) {
        const auto known = std::find(keys.begin(), keys.end(), p.key);
        out.put(qint32(p.line));
        out.put(qint32(p.column));
        out.put(quint8(p.kind == TagProblem::Kind::Error));
        out.put(quint32(known - keys.begin()));
        if (known == keys.end()) {
            out.put(QStringView(p.key));
            keys.push_back(p.key);
        }
        out.put(QStringView(p.message));
    }
    return std::move(out.bytes);
}

bool deserialize(const QByteArray& bytes, std::vector<TagProblem>* problems) {
    WireReader in(bytes);
    quint32 count = 0;
    if (!in.get(&count) || count > quint64(bytes.size()))
        return false;
    problems->reserve(count);
    std::vector<QString> keys;
    for (quint32 i = 0; i < count; ++i) {
        TagProblem p;
        qint32 line = 0, column = 0;
        quint8 error = 0;
        quint32 key = 0;
        if (!in.get(&line) || !in.get(&column) || !in.get(&error) || !in.get(&key) || key > keys.size())
            return false;
        if (key == keys.size()) {
            if (!in.get(&p.key))
                return false;
            keys.push_back(p.key);
        } else {
            p.key = keys[key]; // shared, not copied
        }
        if (!in.get(&p.message))
            return false;
        p.line = line;
        p.column = column;
        p.kind = error ? TagProblem::Kind::Error : TagProblem::Kind::Warning;
        problems->push_back(std::move(p));
    }
    return in.atEnd();
}

#ifdef Q_OS_UNIX
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

bool writeAll(int fd, const char* data, qsizetype size) {
    while (size > 0) {
        // send() on a socket, so that a child gone away is an error here, not a SIGPIPE.
        const ssize_t n = ::send(fd, data, size_t(size), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

// A message on the socket: its length, then its bytes.
bool writeMessage(int fd, const QByteArray& bytes) {
    const quint64 size = quint64(bytes.size());
    return writeAll(fd, reinterpret_cast<const char*>(&size), sizeof size) && writeAll(fd, bytes.constData(), bytes.size());
}

// Reads exactly @p size bytes by @p deadline; false on end of file, an error or the deadline
// (then *timedOut is set).
bool readExactly(int fd, char* data, qsizetype size, const QDeadlineTimer& deadline, bool* timedOut) {
    while (size > 0) {
        pollfd readable{fd, POLLIN, 0};
        const int ready = ::poll(&readable, 1, int(std::min<qint64>(deadline.remainingTime(), 1000)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return false;
        if (ready == 0) {
            if (deadline.hasExpired()) {
                *timedOut = true;
                return false;
            }
            continue;
        }
        const ssize_t n = ::read(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

// Reads one message (its length, then its bytes) by @p deadline.
bool readMessage(int fd, const QDeadlineTimer& deadline, QByteArray* bytes, bool* timedOut) {
    quint64 size = 0;
    if (!readExactly(fd, reinterpret_cast<char*>(&size), sizeof size, deadline, timedOut) ||
        size > quint64(std::numeric_limits<qsizetype>::max() / 2))
        return false;
    bytes->resize(qsizetype(size));
    return readExactly(fd, bytes->data(), bytes->size(), deadline, timedOut);
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

// In a child: closes every file but the standard ones and @p keep. A child holding another
// checker's socket, forked by another thread at the same moment, would keep that checker from
// hearing its socket's end (and that one could be holding this one's).
void closeOtherFiles(int keep) {
#ifdef Q_OS_LINUX
    if (keep > 3 && ::close_range(3, unsigned(keep) - 1, 0) == 0 && ::close_range(unsigned(keep) + 1, ~0U, 0) == 0)
        return;
#endif
    for (int fd = 3, end = int(std::min<long>(::sysconf(_SC_OPEN_MAX), 65536)); fd < end; ++fd)
        if (fd != keep)
            ::close(fd);
}

// Forks a child that runs @p work with the other end of a socket; nullopt when it cannot.
template <typename Work>
std::optional<std::pair<pid_t, int>> forkChild(Work work) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
        return std::nullopt;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return std::nullopt;
    }
    if (child == 0) {
        // Only this thread goes on here; it ends with _exit, never returning into the program.
        ::close(fds[0]);
        closeOtherFiles(fds[1]);
#ifdef Q_OS_LINUX
        ::prctl(PR_SET_PDEATHSIG, SIGKILL); // never outlives the thread that made it
#endif
        work(fds[1]);
        ::_exit(0);
    }
    ::close(fds[1]);
    noteRunning(child, true);
    return std::pair(child, fds[0]);
}

// Runs one check in a child that inherits the text; nullopt when no child could be made.
std::optional<Result> checkInChild(const QString& text, const QSet<QString>& ignoredKeys, int limitMs,
                                   int accessibility) {
    const auto made = forkChild([&](int fd) {
        ::_exit(writeMessage(fd, serialize(checkTags(text, ignoredKeys, accessibility))) ? 0 : 1);
    });
    if (!made)
        return std::nullopt;
    const auto [child, fd] = *made;
    QByteArray bytes;
    bool timedOut = false;
    const bool read = readMessage(fd, QDeadlineTimer(limitMs), &bytes, &timedOut);
    ::close(fd);
    int status = 0;
    reap(child, timedOut, &status);
    Result result;
    if (!read || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || !deserialize(bytes, &result.problems)) {
        result.problems.clear();
        result.failure = failureOf(timedOut, status, limitMs);
    }
    return result;
}

class LastingChecker;
QBasicMutex lastingMutex;
std::set<LastingChecker*>& lastingCheckers = *new std::set<LastingChecker*>; // every thread's

/// A child that checks page after page, sent over a socket: one fork for many pages. It is
/// forked when the thread's first page comes and again after a page killed it.
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
        WireWriter request;
        request.put(QStringView(text));
        request.put(qint32(accessibility));
        request.put(quint32(ignoredKeys.size()));
        for (const QString& key : ignoredKeys)
            request.put(QStringView(key));
        QByteArray bytes;
        bool timedOut = false;
        Result result;
        noteRunning(child_, true); // cancelAll() stops it only while it checks
        const bool answered = writeMessage(fd_, request.bytes) && readMessage(fd_, QDeadlineTimer(limitMs), &bytes, &timedOut) &&
                              deserialize(bytes, &result.problems);
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
        const auto made = forkChild([](int fd) {
            for (;;) {
                QByteArray request;
                bool timedOut = false;
                if (!readMessage(fd, QDeadlineTimer(QDeadlineTimer::Forever), &request, &timedOut))
                    ::_exit(0); // the program is done with this child
                WireReader in(request);
                QString text;
                qint32 accessibility = 0;
                quint32 ignoredCount = 0;
                QSet<QString> ignored;
                bool whole = in.get(&text) && in.get(&accessibility) && in.get(&ignoredCount);
                for (quint32 i = 0; whole && i < ignoredCount; ++i) {
                    QString key;
                    whole = in.get(&key);
                    ignored.insert(key);
                }
                if (!whole || !writeMessage(fd, serialize(checkTags(text, ignored, accessibility))))
                    ::_exit(1);
            }
        });
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
    } else if (std::optional<Result> result = checkInChild(text, ignoredKeys, limitMs, accessibility)) {
        return std::move(*result);
    }
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
