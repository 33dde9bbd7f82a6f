#include "document_file.h"

#include "base/memory_advice.h"
#include "text_encoding.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringDecoder>
#include <algorithm>
#include <vector>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace document_file {
namespace {

constexpr int kOutOfMemory = 7;
constexpr int kFileNotFound = 53;
constexpr int kDiskFull = 61;
constexpr int kPathFileAccess = 75;
constexpr int kPathNotFound = 76;
constexpr int kDeviceIo = 57;

QString describe(int number) {
    switch (number) {
    case kOutOfMemory:
        return QStringLiteral("Out of memory");
    case kFileNotFound:
        return QStringLiteral("File not found");
    case kDiskFull:
        return QStringLiteral("Disk full");
    case kPathFileAccess:
        return QStringLiteral("Path/File access error");
    case kPathNotFound:
        return QStringLiteral("Path not found");
    default:
        return QStringLiteral("Device I/O error");
    }
}

FileError failure(int number, const QString& reason, const QString& path) {
    QString text = describe(number);
    if (!reason.isEmpty())
        text += QStringLiteral(": ") + reason;
    return {number, text + QLatin1Char('\n') + QDir::toNativeSeparators(path)};
}

// The charset a page declares in its first few KB, by <meta charset> or an http-equiv content type.
QByteArray declaredCharset(const QByteArray& bytes) {
    static const QRegularExpression meta(
        QStringLiteral(R"(<meta\b[^>]*?charset\s*=\s*["']?\s*([A-Za-z0-9_:.()+\-]+))"),
        QRegularExpression::CaseInsensitiveOption);
    const auto match = meta.match(QString::fromLatin1(bytes.left(8192)));
    return match.hasMatch() ? match.captured(1).toLatin1() : QByteArray();
}

// Turns decoded text, fed in pieces, into document text: every line end (CR LF, lone CR or
// lone LF) becomes CR LF, and the one after the last line is dropped. It remembers the first
// style it met and whether the file ended with a line end.
class LineEnds {
public:
    explicit LineEnds(QString* out) : out_(out) {}

    void feed(QStringView chunk) {
        const qsizetype n = chunk.size();
        if (n == 0)
            return;
        seenAny_ = true;
        qsizetype i = 0;
        if (pendingCr_) {
            pendingCr_ = false;
            if (chunk[0] == u'\n') {
                lineEnd(DocumentFormat::LineEnd::CrLf);
                i = 1;
            } else {
                lineEnd(DocumentFormat::LineEnd::Cr);
            }
        }
        // Most files have no CR at all; their line ends are found with Qt's vectorised search.
        const bool hasCr = chunk.contains(u'\r');
        while (i < n) {
            qsizetype j = hasCr ? nextLineEnd(chunk, i) : chunk.indexOf(u'\n', i);
            if (j < 0) {
                text(chunk.sliced(i));
                return;
            }
            text(chunk.sliced(i, j - i));
            if (chunk[j] == u'\n') {
                lineEnd(DocumentFormat::LineEnd::Lf);
                i = j + 1;
            } else if (j + 1 == n) {
                pendingCr_ = true; // the LF may start the next piece
                i = j + 1;
            } else if (chunk[j + 1] == u'\n') {
                lineEnd(DocumentFormat::LineEnd::CrLf);
                i = j + 2;
            } else {
                lineEnd(DocumentFormat::LineEnd::Cr);
                i = j + 1;
            }
        }
    }

    void finish(DocumentFormat* format) {
        if (pendingCr_)
            lineEnd(DocumentFormat::LineEnd::Cr);
        format->lineEnd = styleKnown_ ? style_ : DocumentFormat::LineEnd::CrLf;
        // The line end after the last line is not part of the document; saving adds it back,
        // unless the file had none.
        format->finalLineEnd = !seenAny_ || pendingEnd_;
    }

private:
    static qsizetype nextLineEnd(QStringView chunk, qsizetype from) {
        for (qsizetype k = from; k < chunk.size(); ++k)
            if (chunk[k] == u'\r' || chunk[k] == u'\n')
                return k;
        return -1;
    }
    void flushPending() {
        if (pendingEnd_)
            out_->append(QStringLiteral("\r\n"));
        pendingEnd_ = false;
    }
    void text(QStringView piece) {
        if (piece.isEmpty())
            return;
        flushPending();
        out_->append(piece);
    }
    void lineEnd(DocumentFormat::LineEnd style) {
        flushPending();
        pendingEnd_ = true;
        if (!styleKnown_) {
            style_ = style;
            styleKnown_ = true;
        }
    }

    QString* out_;
    bool pendingEnd_ = false;
    bool pendingCr_ = false;
    bool styleKnown_ = false;
    bool seenAny_ = false;
    DocumentFormat::LineEnd style_ = DocumentFormat::LineEnd::CrLf;
};

// Strict UTF-8, decoded in pieces that end on character boundaries, so that a big file never
// exists twice in memory as text.
bool decodeUtf8(QByteArrayView bytes, LineEnds& lines) {
    constexpr qsizetype kPiece = 1 << 16;
    std::vector<QChar> buffer;
    for (qsizetype from = 0; from < bytes.size();) {
        qsizetype to = std::min(bytes.size(), from + kPiece);
        // Back up to the start of a character (at most three continuation bytes).
        for (int k = 0; k < 3 && to < bytes.size() && to > from + 1 && (uchar(bytes[to]) & 0xC0) == 0x80; ++k)
            --to;
        QStringDecoder decoder(QStringConverter::Utf8,
                               QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
        buffer.resize(size_t(decoder.requiredSpace(to - from)));
        const QChar* end = decoder.appendToBuffer(buffer.data(), bytes.sliced(from, to - from));
        if (decoder.hasError())
            return false;
        lines.feed(QStringView(buffer.data(), end - buffer.data()));
        from = to;
    }
    return true;
}

#ifdef Q_OS_UNIX
FileError errnoFailure(int err, const QString& path) {
    int number = kDeviceIo;
    switch (err) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        number = kDiskFull;
        break;
    case ENOENT:
    case ENOTDIR:
        number = kPathNotFound;
        break;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ENAMETOOLONG:
    case EINVAL:
    case ETXTBSY:
        number = kPathFileAccess;
        break;
    default:
        break;
    }
    return failure(number, QString::fromLocal8Bit(std::strerror(err)), path);
}

bool writeAll(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        left -= n;
    }
    return true;
}

FileError writePosix(const QString& path, const QString& target, const QByteArray& bytes) {
    const QByteArray native = QFile::encodeName(target);
    struct stat st {};
    const bool exists = ::stat(native.constData(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode))
        return errnoFailure(EISDIR, path);
    // Decide by the permission bits: running as root, access() would call every file writable.
    if (exists && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return failure(kPathFileAccess, QStringLiteral("the file is read-only"), path);

    if (exists && st.st_nlink > 1) {
        // Replacing the file would cut it off from its other names: write in place, with every
        // byte prepared beforehand.
        const int fd = ::open(native.constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd < 0)
            return errnoFailure(errno, path);
        const bool ok = writeAll(fd, bytes) && ::fsync(fd) == 0;
        const int err = errno;
        ::close(fd);
        return ok ? FileError{} : errnoFailure(err, path);
    }

    const QFileInfo info(target);
    QByteArray temp = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                                        QStringLiteral(".tagloom-XXXXXX"));
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return errnoFailure(errno, path);
    mode_t mode = st.st_mode & 07777;
    if (!exists) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
    int err = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && ::rename(temp.constData(), native.constData()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(temp.constData());
        return errnoFailure(err, path);
    }
    // Make the rename itself durable.
    const int dir = ::open(QFile::encodeName(info.absolutePath()).constData(), O_RDONLY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return {};
}
#endif

} // namespace

QString decode(const QByteArray& bytes, DocumentFormat* format) {
    using namespace text_encoding;
    QString text;
    // No encoding gives more characters than bytes, and a line end grows by one at most. Pages
    // of the reservation that are never written cost no memory.
    text.reserve(bytes.size() * 2 + 2);
    adviseHugePages(text.data(), size_t(bytes.size()) * 4 + 4);
    auto attempt = [&](QByteArrayView body, const QByteArray& encoding, bool byteOrderMark) {
        text.resize(0);
        LineEnds lines(&text);
        if (encoding == kUtf8) {
            if (!decodeUtf8(body, lines))
                return false;
        } else {
            const auto decoded = decodeExact(body.toByteArray(), encoding);
            if (!decoded)
                return false;
            lines.feed(*decoded);
        }
        lines.finish(format);
        format->encoding = encoding;
        format->byteOrderMark = byteOrderMark;
        return true;
    };
    struct Bom {
        const char* bytes;
        int size;
        const char* encoding;
    };
    // A byte-order mark first (a UTF-16 one only when the rest really is UTF-16), then a declared
    // charset, then strict UTF-8, then Windows-1252, which takes any bytes.
    for (const Bom& bom :
         {Bom{"\xEF\xBB\xBF", 3, kUtf8}, Bom{"\xFF\xFE", 2, kUtf16Le}, Bom{"\xFE\xFF", 2, kUtf16Be}})
        if (bytes.startsWith(QByteArrayView(bom.bytes, bom.size)) &&
            attempt(QByteArrayView(bytes).sliced(bom.size), bom.encoding, true))
            return text;
    const QByteArray declared = canonicalName(declaredCharset(bytes));
    if (!declared.isEmpty() && attempt(bytes, declared, false))
        return text;
    if (attempt(bytes, kUtf8, false))
        return text;
    attempt(bytes, kWindows1252, false);
    return text;
}

QByteArray encode(const QString& text, DocumentFormat* format) {
    QString withEnd = format->finalLineEnd ? text + QStringLiteral("\r\n") : text;
    if (format->lineEnd == DocumentFormat::LineEnd::Lf)
        withEnd.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    else if (format->lineEnd == DocumentFormat::LineEnd::Cr)
        withEnd.replace(QStringLiteral("\r\n"), QStringLiteral("\r"));
    auto bytes = text_encoding::encodeExact(withEnd, format->encoding);
    if (!bytes) {
        // Never replace a character the old encoding cannot hold: switch the file to UTF-8.
        format->encoding = text_encoding::kUtf8;
        bytes = text_encoding::encodeExact(withEnd, format->encoding);
    }
    if (!bytes) {
        // Only text with a broken surrogate pair gets here; UTF-16 keeps even that.
        format->encoding = text_encoding::kUtf16Le;
        format->byteOrderMark = true;
        bytes = text_encoding::encodeUtf16(withEnd, false);
    }
    QByteArray out;
    if (format->byteOrderMark) {
        if (format->encoding == text_encoding::kUtf8)
            out = "\xEF\xBB\xBF";
        else if (format->encoding == text_encoding::kUtf16Le)
            out = "\xFF\xFE";
        else if (format->encoding == text_encoding::kUtf16Be)
            out = "\xFE\xFF";
    }
    return out + bytes.value_or(QByteArray());
}

ReadResult read(const QString& path) {
    ReadResult result;
    if (path.isEmpty()) {
        result.error = failure(kPathFileAccess, QString(), path);
        return result;
    }
    QFile file(path);
    const QFileInfo info(path);
    if (info.isDir()) {
        result.error = failure(kPathFileAccess, QStringLiteral("it is a folder"), path);
        return result;
    }
    if (info.size() > kLargestDocument) {
        // Far beyond any hand-written page; refused rather than exhausting memory.
        result.error = failure(
            kOutOfMemory,
            QStringLiteral("the file is too large to edit (%1 MB)").arg(info.size() / (1024 * 1024)), path);
        return result;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = failure(info.exists() ? kPathFileAccess : kFileNotFound, file.errorString(), path);
        return result;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        result.error = failure(kDeviceIo, file.errorString(), path);
        return result;
    }
    result.text = decode(bytes, &result.format);
    return result;
}

FileError write(const QString& path, const QByteArray& bytes) {
    if (path.isEmpty())
        return failure(kPathFileAccess, QStringLiteral("no file name"), path);
    const QFileInfo info(path);
    // A symbolic link stays a link: its target is what gets replaced.
    const QString target = info.isSymLink() ? info.symLinkTarget() : info.absoluteFilePath();
    if (!QFileInfo(QFileInfo(target).absolutePath()).isDir())
        return failure(kPathNotFound, QStringLiteral("the folder does not exist"), path);
#ifdef Q_OS_UNIX
    return writePosix(path, target, bytes);
#else
    const QFileInfo targetInfo(target);
    if (targetInfo.isDir())
        return failure(kPathFileAccess, QStringLiteral("it is a folder"), path);
    if (targetInfo.exists() && !targetInfo.isWritable())
        return failure(kPathFileAccess, QStringLiteral("the file is read-only"), path);
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        return failure(kPathFileAccess, file.errorString(), path);
    if (file.write(bytes) != bytes.size() || !file.commit())
        return failure(file.error() == QFileDevice::ResourceError ? kDiskFull : kDeviceIo, file.errorString(),
                       path);
    return {};
#endif
}

} // namespace document_file
