#include "document_file.h"

#include "text_encoding.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace document_file {
namespace {

constexpr int kFileNotFound = 53;
constexpr int kDiskFull = 61;
constexpr int kPathFileAccess = 75;
constexpr int kPathNotFound = 76;
constexpr int kDeviceIo = 57;

QString describe(int number) {
    switch (number) {
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

QString decodeBytes(const QByteArray& bytes, DocumentFormat* format) {
    using namespace text_encoding;
    struct Bom {
        const char* bytes;
        int size;
        const char* encoding;
    };
    // A UTF-8 BOM first; a UTF-16 BOM only when the rest really is UTF-16.
    for (const Bom& bom : {Bom{"\xEF\xBB\xBF", 3, kUtf8}, Bom{"\xFF\xFE", 2, kUtf16Le}, Bom{"\xFE\xFF", 2, kUtf16Be}}) {
        if (bytes.startsWith(QByteArray::fromRawData(bom.bytes, bom.size))) {
            if (auto text = decodeExact(bytes.mid(bom.size), bom.encoding)) {
                format->encoding = bom.encoding;
                format->byteOrderMark = true;
                return *text;
            }
        }
    }
    format->byteOrderMark = false;
    const QByteArray declared = canonicalName(declaredCharset(bytes));
    if (!declared.isEmpty()) {
        if (auto text = decodeExact(bytes, declared)) {
            format->encoding = declared;
            return *text;
        }
    }
    if (auto text = decodeExact(bytes, kUtf8)) {
        format->encoding = kUtf8;
        return *text;
    }
    format->encoding = kWindows1252;
    return decodeWindows1252(bytes);
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
    const QString raw = decodeBytes(bytes, format);
    QString text;
    text.reserve(raw.size() + raw.size() / 16);
    bool styleKnown = false;
    format->lineEnd = DocumentFormat::LineEnd::CrLf;
    const QChar* p = raw.constData();
    const QChar* end = p + raw.size();
    const QChar* lineStart = p;
    while (p < end) {
        const char16_t c = p->unicode();
        if (c != u'\r' && c != u'\n') {
            ++p;
            continue;
        }
        text.append(lineStart, p - lineStart);
        DocumentFormat::LineEnd style = DocumentFormat::LineEnd::Lf;
        if (c == u'\r') {
            style = (p + 1 < end && p[1] == u'\n') ? DocumentFormat::LineEnd::CrLf : DocumentFormat::LineEnd::Cr;
            p += style == DocumentFormat::LineEnd::CrLf ? 2 : 1;
        } else {
            ++p;
        }
        if (!styleKnown) {
            format->lineEnd = style;
            styleKnown = true;
        }
        lineStart = p;
        // The line end after the last line is not part of the document; saving adds it back.
        if (p < end)
            text.append(QStringLiteral("\r\n"));
    }
    format->finalLineEnd = raw.isEmpty() || lineStart == end;
    text.append(lineStart, end - lineStart);
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
