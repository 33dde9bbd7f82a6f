#include "document_file.h"

#include "charset_declaration.h"
#include "line_ends.h"
#include "memory_budget.h"
#include "file_writer.h"
#include "text_encoding.h"

#include "base/folder_walk.h"
#include "base/memory_advice.h"
#include "base/regular_file.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <algorithm>
#include <vector>

namespace document_file {
namespace {

// The charset a page declares in its first few KB.
QByteArray declaredCharset(const QByteArray& bytes) {
    return charset_declaration::first(QString::fromLatin1(bytes.left(8192))).toLatin1();
}

// UTF-16 without a byte-order mark shows itself by its NUL bytes: text in a Latin script has
// one in nearly every code unit, always on the same side.
const char* utf16ByNulPattern(const QByteArray& bytes) {
    const qsizetype n = std::min<qsizetype>(bytes.size(), 1 << 16) & ~qsizetype(1);
    if (n < 4 || bytes.size() % 2 != 0)
        return nullptr;
    qsizetype evenNul = 0, oddNul = 0;
    for (qsizetype i = 0; i < n; i += 2) {
        evenNul += bytes[i] == 0;
        oddNul += bytes[i + 1] == 0;
    }
    const qsizetype units = n / 2;
    if (oddNul * 10 >= units * 9 && evenNul * 10 < units)
        return text_encoding::kUtf16Le;
    if (evenNul * 10 >= units * 9 && oddNul * 10 < units)
        return text_encoding::kUtf16Be;
    return nullptr;
}

// Strict UTF-8, decoded in pieces that end on character boundaries, so that a big file never
// exists twice in memory as text.
bool decodeUtf8(QByteArrayView bytes, LineEndReader& lines) {
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

qint64 countLines(const QByteArray& bytes) {
    return bytes.count('\n') + bytes.count('\r') + 1;
}

} // namespace

namespace {
// Decodes @p body as @p encoding into @p text; false when the bytes are not exactly that encoding.
bool decodeInto(QString& text, QByteArrayView body, const QByteArray& encoding, bool byteOrderMark,
                DocumentFormat* format, LineEndExceptions* lineEnds) {
    using namespace text_encoding;
    text.resize(0);
    LineEndReader lines(&text);
    if (encoding == kUtf8) {
        if (!decodeUtf8(body, lines))
            return false;
    } else {
        const auto decoded = decodeExact(body.toByteArray(), encoding);
        if (!decoded)
            return false;
        lines.feed(*decoded);
    }
    lines.finish();
    format->lineEnd = lines.usualStyle();
    format->finalLineEnd = lines.finalLineEnd();
    format->encoding = encoding;
    format->byteOrderMark = byteOrderMark;
    format->invalidBytes = 0;
    if (lineEnds)
        *lineEnds = lines.exceptions();
    return true;
}

struct Bom {
    const char* bytes;
    int size;
    const char* encoding;
};
constexpr Bom kByteOrderMarks[] = {{"\xEF\xBB\xBF", 3, text_encoding::kUtf8},
                                   {"\xFF\xFE", 2, text_encoding::kUtf16Le},
                                   {"\xFE\xFF", 2, text_encoding::kUtf16Be}};

QString reserveFor(const QByteArray& bytes) {
    QString text;
    // No encoding gives more characters than bytes, and a line end grows by one at most. Pages
    // of the reservation that are never written cost no memory.
    text.reserve(bytes.size() * 2 + 2);
    adviseHugePages(text.data(), size_t(bytes.size()) * 4 + 4);
    return text;
}
} // namespace

QString decode(const QByteArray& bytes, DocumentFormat* format, LineEndExceptions* lineEnds) {
    using namespace text_encoding;
    QString text = reserveFor(bytes);
    auto attempt = [&](QByteArrayView body, const QByteArray& encoding, bool byteOrderMark) {
        return decodeInto(text, body, encoding, byteOrderMark, format, lineEnds);
    };
    // A byte-order mark first (a UTF-16 one only when the rest really is UTF-16), then UTF-16
    // told by its NUL bytes, then a declared charset, then strict UTF-8, then Windows-1252,
    // which takes any bytes.
    for (const Bom& bom : kByteOrderMarks)
        if (bytes.startsWith(QByteArrayView(bom.bytes, bom.size)) &&
            attempt(QByteArrayView(bytes).sliced(bom.size), bom.encoding, true))
            return text;
    if (const char* utf16 = utf16ByNulPattern(bytes); utf16 && attempt(bytes, utf16, false))
        return text;
    const QByteArray declared = canonicalName(declaredCharset(bytes));
    if (!declared.isEmpty() && attempt(bytes, declared, false))
        return text;
    // A page that says it is UTF-8, or starts with its byte-order mark, stays UTF-8 with a
    // stray bad byte in it: the byte is kept as a mark and written back as it was.
    const bool utf8Bom = bytes.startsWith("\xEF\xBB\xBF");
    if (declared == kUtf8 || utf8Bom) {
        qsizetype marks = 0;
        const QString decoded = decodeUtf8KeepingBytes(QByteArrayView(bytes).sliced(utf8Bom ? 3 : 0), &marks);
        text.resize(0);
        LineEndReader lines(&text);
        lines.feed(decoded);
        lines.finish();
        *format = {};
        format->lineEnd = lines.usualStyle();
        format->finalLineEnd = lines.finalLineEnd();
        format->encoding = kUtf8;
        format->byteOrderMark = utf8Bom;
        format->invalidBytes = marks;
        if (lineEnds)
            *lineEnds = lines.exceptions();
        return text;
    }
    if (attempt(bytes, kUtf8, false))
        return text;
    attempt(bytes, kWindows1252, false);
    return text;
}

std::optional<AsciiReading> asciiReading(const QByteArray& bytes) {
    using namespace text_encoding;
    using Encoding = AsciiReading::Encoding;
    // The same order as decode(): a byte-order mark, UTF-16 told by NUL bytes, a declared
    // charset, strict UTF-8, Windows-1252.
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF") || utf16ByNulPattern(bytes))
        return std::nullopt;
    const bool utf8Bom = bytes.startsWith("\xEF\xBB\xBF");
    const qsizetype bom = utf8Bom ? 3 : 0;
    if (utf8Bom && isStrictUtf8(QByteArrayView(bytes).sliced(bom)))
        return AsciiReading{Encoding::Utf8, bom};
    const QByteArray declared = canonicalName(declaredCharset(bytes));
    if (declared == kUtf8 || (declared.isEmpty() && utf8Bom))
        return AsciiReading{Encoding::Utf8, bom}; // strict, or with its bad bytes kept as marks
    if (declared == kWindows1252)
        return AsciiReading{Encoding::Windows1252, 0};
    if (declared == kLatin1)
        return AsciiReading{Encoding::Latin1, 0};
    if (!declared.isEmpty())
        return std::nullopt;
    return AsciiReading{isStrictUtf8(bytes) ? Encoding::Utf8 : Encoding::Windows1252, 0};
}

QString decodeLine(QByteArrayView line, AsciiReading::Encoding encoding) {
    switch (encoding) {
    case AsciiReading::Encoding::Utf8:
        // The same characters as the strict decoder's where the bytes are valid.
        return text_encoding::decodeUtf8KeepingBytes(line);
    case AsciiReading::Encoding::Windows1252:
        return text_encoding::decodeWindows1252(line);
    case AsciiReading::Encoding::Latin1:
        break;
    }
    return QString::fromLatin1(line);
}

std::optional<QString> decodeAs(const QByteArray& bytes, const QByteArray& encoding, DocumentFormat* format,
                                LineEndExceptions* lineEnds) {
    QString text = reserveFor(bytes);
    // The encoding's own byte-order mark is no text.
    for (const Bom& bom : kByteOrderMarks)
        if (encoding == bom.encoding && bytes.startsWith(QByteArrayView(bom.bytes, bom.size)))
            return decodeInto(text, QByteArrayView(bytes).sliced(bom.size), encoding, true, format, lineEnds)
                       ? std::optional<QString>(text)
                       : std::nullopt;
    if (!decodeInto(text, bytes, encoding, false, format, lineEnds))
        return std::nullopt;
    return text;
}

QString readFirstScreen(const QString& path, qsizetype atLeast) {
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly) || file.size() <= 2 * atLeast)
        return QString();
    const QByteArray bytes = file.read(2 * atLeast);
    // The first line end at or after atLeast ends the screen (a CR LF pair stays whole).
    qsizetype cut = atLeast;
    while (cut < bytes.size() && bytes[cut] != '\n' && bytes[cut] != '\r')
        ++cut;
    if (cut >= bytes.size())
        return QString();
    if (bytes[cut] == '\n' && bytes[cut - 1] == '\r')
        --cut;
    QString text;
    text.reserve(cut + cut / 16);
    for (qsizetype i = 0; i < cut; ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            text += QLatin1StringView("\r\n");
            if (c == '\r' && bytes[i + 1] == '\n')
                ++i;
        } else if ((c >= 0x20 && c < 0x7F) || c == '\t') {
            text += QLatin1Char(c);
        } else {
            return QString(); // a byte whose reading depends on the encoding, or a control
        }
    }
    return text;
}

ReadResult read(const QString& path, const QByteArray& encoding) {
    using namespace file_error;
    ReadResult result;
    if (path.isEmpty()) {
        result.error = failure(kPathFileAccess, QString(), path);
        return result;
    }
    file_writer::removeStaleTemporaries(path);
    auto tooLarge = [&](qint64 size) {
        // Far beyond any hand-written page; refused rather than exhausting memory.
        result.error =
            failure(kOutOfMemory,
                    QStringLiteral("the file is too large to edit (%1 MB)").arg(size / (1024 * 1024)), path);
    };
    // Only plain files are documents: a pipe would block and a device may never end.
    regular_file::Read read = regular_file::readAll(path, kLargestDocument);
    if (const regular_file::Opened& opened = read.opened; !opened) {
        using regular_file::Refusal;
        if (opened.refusal == Refusal::TooBig)
            tooLarge(opened.size > 0 ? opened.size : QFileInfo(path).size());
        else if (opened.refusal == Refusal::ReadFailed)
            result.error = failure(kDeviceIo, opened.reason, path);
        else if (opened.refusal == Refusal::Missing && folder_walk::hasUndecodableName(path))
            // Qt names files in Unicode: it cannot open, nor save back, a name that is no UTF-8.
            result.error = failure(kPathFileAccess,
                                   QStringLiteral("its name, %1, is not valid UTF-8, so Tagloom cannot open or save "
                                                  "it under that name. Rename it to open it")
                                       .arg(folder_walk::shownName(folder_walk::rawName(path))),
                                   path);
        else
            result.error = failure(opened.refusal == Refusal::Missing ? kFileNotFound : kPathFileAccess,
                                   opened.reason, path);
        return result;
    }
    const QByteArray bytes = std::move(read.bytes);
    if (const QString why = memory_budget::shortfall(bytes.size(), countLines(bytes)); !why.isEmpty()) {
        result.error = failure(kOutOfMemory, why, path);
        return result;
    }
    if (encoding.isEmpty()) {
        result.text = decode(bytes, &result.format, &result.lineEnds);
    } else if (auto text = decodeAs(bytes, encoding, &result.format, &result.lineEnds)) {
        result.text = std::move(*text);
    } else {
        result.error = failure(kBadFileMode,
                               QStringLiteral("its bytes are not valid %1").arg(QString::fromLatin1(encoding)), path);
    }
    return result;
}

} // namespace document_file
