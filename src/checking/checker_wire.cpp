#include "checker_wire.h"

#include <QDeadlineTimer>
#include <algorithm>
#include <cstring>
#include <limits>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace checker_wire {
namespace {
// Numbers as they are, strings as their length and UTF-16 code units.
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
} // namespace

QByteArray encodeRequest(const Request& request) {
    WireWriter out;
    out.put(QStringView(request.text));
    out.put(qint32(request.accessibility));
    out.put(quint32(request.ignoredKeys.size()));
    for (const QString& key : request.ignoredKeys)
        out.put(QStringView(key));
    return std::move(out.bytes);
}

bool decodeRequest(const QByteArray& bytes, Request* request) {
    WireReader in(bytes);
    qint32 accessibility = 0;
    quint32 ignoredCount = 0;
    if (!in.get(&request->text) || !in.get(&accessibility) || !in.get(&ignoredCount))
        return false;
    request->accessibility = accessibility;
    for (quint32 i = 0; i < ignoredCount; ++i) {
        QString key;
        if (!in.get(&key))
            return false;
        request->ignoredKeys.insert(key);
    }
    return in.atEnd();
}

// A page can have tens of thousands of problems of a few dozen kinds: each kind's key is sent
// once, and after that as the number of its first sending.
QByteArray encodeProblems(const std::vector<TagProblem>& problems) {
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

bool decodeProblems(const QByteArray& bytes, std::vector<TagProblem>* problems) {
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
namespace {
bool writeAll(int fd, const char* data, qsizetype size) {
    while (size > 0) {
        // send() on a socket, so that a peer gone away is an error here, not a SIGPIPE.
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
} // namespace

bool writeMessage(int fd, const QByteArray& bytes) {
    const quint64 size = quint64(bytes.size());
    return writeAll(fd, reinterpret_cast<const char*>(&size), sizeof size) && writeAll(fd, bytes.constData(), bytes.size());
}

bool readMessage(int fd, const QDeadlineTimer& deadline, QByteArray* bytes, bool* timedOut) {
    quint64 size = 0;
    if (!readExactly(fd, reinterpret_cast<char*>(&size), sizeof size, deadline, timedOut) ||
        size > quint64(std::numeric_limits<qsizetype>::max() / 2))
        return false;
    bytes->resize(qsizetype(size));
    return readExactly(fd, bytes->data(), bytes->size(), deadline, timedOut);
}

int serve(int fd) {
    for (;;) {
        QByteArray bytes;
        bool timedOut = false;
        if (!readMessage(fd, QDeadlineTimer(QDeadlineTimer::Forever), &bytes, &timedOut))
            return 0; // the editor is done with this checker
        Request request;
        if (!decodeRequest(bytes, &request) ||
            !writeMessage(fd, encodeProblems(checkTags(request.text, request.ignoredKeys, request.accessibility))))
            return 1;
    }
}
#endif

} // namespace checker_wire
