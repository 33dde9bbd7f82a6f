#include "document_file.h"

#include "line_ends.h"
#include "file_writer.h"
#include "text_encoding.h"

#include <QFileInfo>
#include <algorithm>

#include <csignal>

namespace document_file {

bool canEncode(const QString& text, const QByteArray& encoding, qsizetype* firstMissing) {
    if (text_encoding::encodeExact(text, encoding))
        return true;
    if (firstMissing) {
        // Narrow down in pieces, then character by character; a surrogate pair stays whole.
        constexpr qsizetype kPiece = 4096;
        qsizetype from = 0;
        while (from + kPiece < text.size() && text_encoding::encodeExact(text.mid(from, kPiece), encoding))
            from += kPiece;
        *firstMissing = from;
        for (qsizetype i = from; i < text.size(); ++i) {
            const qsizetype n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
            if (!text_encoding::encodeExact(text.mid(i, n), encoding)) {
                *firstMissing = i;
                break;
            }
            i += n - 1;
        }
    }
    return false;
}

QByteArray encode(const QString& text, DocumentFormat* format, const LineEndExceptions& lineEnds) {
    const QString fileText = withLineEnds(text, format->lineEnd, lineEnds, format->finalLineEnd);
    auto bytes = text_encoding::encodeExact(fileText, format->encoding);
    format->invalidBytes = bytes && format->encoding == text_encoding::kUtf8
                               ? std::count_if(fileText.begin(), fileText.end(), text_encoding::isByteMark)
                               : 0;
    if (!bytes) {
        // Never replace a character the old encoding cannot hold: switch the file to UTF-8.
        format->encoding = text_encoding::kUtf8;
        bytes = text_encoding::encodeExact(fileText, format->encoding);
    }
    if (!bytes) {
        // Only text with a broken surrogate pair gets here; UTF-16 keeps even that.
        format->encoding = text_encoding::kUtf16Le;
        format->byteOrderMark = true;
        bytes = text_encoding::encodeUtf16(fileText, false);
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

FileError write(const QString& path, const QByteArray& bytes) {
    using namespace file_error;
    if (path.isEmpty())
        return failure(kPathFileAccess, QStringLiteral("no file name"), path);
    return file_writer::write(path, bytes);
}

void reportFileSizeLimitAsError() {
#ifdef Q_OS_UNIX
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

QString interruptedSaveBackup(const QString& path) {
    return file_writer::interruptedSaveBackup(path);
}

} // namespace document_file
