#include "safe_check.h"

#include "colouring/tag_matching.h"

#include <QByteArray>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QIODevice>
#include <QMutex>
#include <QMutexLocker>
#include <algorithm>
#include <optional>
#include <set>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
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
QString tooDeep(int depth) {
    return QStringLiteral("The page nests elements %1 deep; HTML Tidy can check pages up to %2 deep. "
                          "Unclosed elements add up: close them, or check a part of the page.")
        .arg(depth)
        .arg(kDeepestNesting);
}

QByteArray serialize(const std::vector<TagProblem>& problems) {
    QByteArray out;
    QDataStream stream(&out, QIODevice::WriteOnly);
    stream << quint32(problems.size());
    for (const TagProblem& p : problems)
        stream << qint32(p.line) << qint32(p.column) << quint8(p.kind == TagProblem::Kind::Error) << p.message << p.key;
    return out;
}

bool deserialize(const QByteArray& bytes, std::vector<TagProblem>* problems) {
    QDataStream stream(bytes);
    quint32 count = 0;
    stream >> count;
    for (quint32 i = 0; i < count && stream.status() == QDataStream::Ok; ++i) {
        TagProblem p;
        qint32 line = 0;
        qint32 column = 0;
        quint8 error = 0;
        stream >> line >> column >> error >> p.message >> p.key;
        p.line = line;
        p.column = column;
        p.kind = error ? TagProblem::Kind::Error : TagProblem::Kind::Warning;
        problems->push_back(std::move(p));
    }
    return stream.status() == QDataStream::Ok && stream.atEnd() && problems->size() == count;
}

#ifdef Q_OS_UNIX
QMutex runningMutex;
std::set<pid_t> running;

bool writeAll(int fd, const char* data, qsizetype size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

// Runs the check in a child; nullopt when no child could be made.
std::optional<Result> checkInChild(const QString& text, const QSet<QString>& ignoredKeys, int limitMs,
                                   int accessibility) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return std::nullopt;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return std::nullopt;
    }
    if (child == 0) {
        // Only this thread goes on here; it ends with _exit, never returning into the program.
        ::close(pipeFds[0]);
#ifdef Q_OS_LINUX
        ::prctl(PR_SET_PDEATHSIG, SIGKILL); // never outlives the editor
#endif
        const QByteArray result = serialize(checkTags(text, ignoredKeys, accessibility));
        ::_exit(writeAll(pipeFds[1], result.constData(), result.size()) ? 0 : 1);
    }
    ::close(pipeFds[1]);
    {
        QMutexLocker locker(&runningMutex);
        running.insert(child);
    }
    QByteArray bytes;
    QDeadlineTimer deadline(limitMs);
    bool timedOut = false;
    for (;;) {
        pollfd fd{pipeFds[0], POLLIN, 0};
        const int ready = ::poll(&fd, 1, int(std::min<qint64>(deadline.remainingTime(), 1000)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0) {
            if (deadline.hasExpired()) {
                timedOut = true;
                break;
            }
            continue;
        }
        char buffer[65536];
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        bytes.append(buffer, n);
    }
    ::close(pipeFds[0]);
    if (timedOut)
        ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    {
        QMutexLocker locker(&runningMutex);
        running.erase(child);
    }
    Result result;
    if (timedOut)
        result.failure = QStringLiteral("HTML Tidy took longer than %1 seconds on this page and was stopped.")
                             .arg(limitMs / 1000);
    else if (WIFSIGNALED(status))
        result.failure = WTERMSIG(status) == SIGKILL ? QStringLiteral("The check was stopped.")
                                           : QStringLiteral("HTML Tidy failed on this page (signal %1).")
                                                 .arg(WTERMSIG(status));
    else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !deserialize(bytes, &result.problems))
        result.failure = QStringLiteral("HTML Tidy failed on this page.");
    if (!result.failure.isEmpty())
        result.problems.clear();
    return result;
}
#endif
} // namespace

Result check(const QString& text, const QSet<QString>& ignoredKeys, int limitMs, int accessibility) {
    if (const int depth = nestingDepth(text); depth > kDeepestNesting)
        return {{}, tooDeep(depth)};
#ifdef Q_OS_UNIX
    if (std::optional<Result> result = checkInChild(text, ignoredKeys, limitMs, accessibility))
        return std::move(*result);
#else
    (void)limitMs;
#endif
    return {checkTags(text, ignoredKeys, accessibility), {}};
}

void cancelAll() {
#ifdef Q_OS_UNIX
    QMutexLocker locker(&runningMutex);
    for (const pid_t child : running)
        ::kill(child, SIGKILL);
#endif
}

} // namespace safe_check
