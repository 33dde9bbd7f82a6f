#include "text_encoding.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <array>
#include <cstring>

namespace text_encoding {
namespace {

// clang-format off
constexpr std::array<char16_t, 32> kCp1252High{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
// clang-format on

std::optional<QByteArray> encodeWindows1252(const QString& text) {
    QByteArray out(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out[i] = static_cast<char>(c);
            continue;
        }
        int found = -1;
        for (int k = 0; k < 32; ++k)
            if (kCp1252High[static_cast<size_t>(k)] == c)
                found = k;
        if (found < 0)
            return std::nullopt;
        out[i] = static_cast<char>(0x80 + found);
    }
    return out;
}

std::optional<QStringConverter::Encoding> builtIn(const QByteArray& encoding) {
    if (encoding == kUtf8)
        return QStringConverter::Utf8;
    if (encoding == kUtf16Le)
        return QStringConverter::Utf16LE;
    if (encoding == kUtf16Be)
        return QStringConverter::Utf16BE;
    return std::nullopt;
}

std::optional<QString> decodeWith(QStringDecoder& decoder, const QByteArray& bytes) {
    if (!decoder.isValid())
        return std::nullopt;
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

std::optional<QByteArray> encodeWith(QStringEncoder& encoder, const QString& text) {
    if (!encoder.isValid())
        return std::nullopt;
    QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        return std::nullopt;
    return bytes;
}

} // namespace

namespace {
struct Utf8Sequence {
    int length = 0; ///< 0: the byte at that place starts no valid sequence
    char32_t code = 0;
};

// The well-formed UTF-8 sequence that starts at @p i (not an ASCII byte): shorter forms than a
// code point needs, surrogates and code points past U+10FFFF are invalid, as Qt's strict
// decoder has them.
Utf8Sequence sequenceAt(QByteArrayView bytes, qsizetype i) {
    const auto byte = [&](qsizetype k) { return uchar(bytes[k]); };
    const uchar b = byte(i);
    const int length = b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
    if (length == 0 || i + length > bytes.size())
        return {};
    char32_t code = length == 2 ? b & 0x1F : length == 3 ? b & 0x0F : b & 0x07;
    for (int k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return {};
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    if ((length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
        (length == 4 && (code < 0x10000 || code > 0x10FFFF)))
        return {};
    return {length, code};
}
} // namespace

bool isStrictUtf8(QByteArrayView bytes) {
    const char* data = bytes.data();
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i < size;) {
        // Pages are mostly ASCII: eight bytes at a time while no high bit is set.
        while (i + 8 <= size) {
            quint64 word;
            std::memcpy(&word, data + i, 8);
            if (word & 0x8080808080808080ULL)
                break;
            i += 8;
        }
        if (i >= size)
            break;
        if (uchar(data[i]) < 0x80) {
            ++i;
            continue;
        }
        const Utf8Sequence sequence = sequenceAt(bytes, i);
        if (sequence.length == 0)
            return false;
        i += sequence.length;
    }
    return true;
}

QString decodeUtf8KeepingBytes(QByteArrayView bytes, qsizetype* marks) {
    QString text;
    text.reserve(bytes.size());
    qsizetype count = 0;
    for (qsizetype i = 0; i < bytes.size();) {
        const uchar b = uchar(bytes[i]);
        if (b < 0x80) {
            text += QChar(b);
            ++i;
            continue;
        }
        const Utf8Sequence sequence = sequenceAt(bytes, i);
        if (sequence.length == 0) {
            text += QChar(char16_t(kFirstByteMark + (b - 0x80)));
            ++count;
            ++i;
            continue;
        }
        if (sequence.code >= 0x10000) {
            text += QChar(QChar::highSurrogate(sequence.code));
            text += QChar(QChar::lowSurrogate(sequence.code));
        } else {
            text += QChar(char16_t(sequence.code));
        }
        i += sequence.length;
    }
    if (marks)
        *marks = count;
    return text;
}

namespace {
// UTF-8 with the marks of bytes that were no UTF-8 written back as those bytes; a lone
// surrogate that is no mark cannot be written.
std::optional<QByteArray> encodeUtf8KeepingBytes(const QString& text) {
    QByteArray out;
    out.reserve(text.size() * 3);
    QStringEncoder encoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    qsizetype from = 0;
    const auto flush = [&](qsizetype to) {
        if (to > from)
            out += encoder.encode(QStringView(text).mid(from, to - from));
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        if (!c.isSurrogate())
            continue;
        if (!isByteMark(c))
            return std::nullopt;
        flush(i);
        out += char(0x80 + (c.unicode() - kFirstByteMark));
        from = i + 1;
    }
    flush(text.size());
    return out;
}
} // namespace

QString decodeWindows1252(QByteArrayView bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out[i] = QChar(b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : char16_t(b));
    }
    return text;
}

QByteArray canonicalName(const QByteArray& declared) {
    const QByteArray name = declared.trimmed().toLower();
    if (name == "utf-8" || name == "utf8")
        return kUtf8;
    if (name == "iso-8859-1" || name == "iso8859-1" || name == "iso_8859-1" || name == "latin1" ||
        name == "latin-1" || name == "l1")
        return kLatin1;
    if (name == "windows-1252" || name == "cp1252" || name == "x-cp1252")
        return kWindows1252;
    // A UTF-16 or UTF-32 declaration inside bytes that were readable as ASCII is not true.
    if (name.isEmpty() || name.startsWith("utf-16") || name.startsWith("utf-32") || name.startsWith("ucs"))
        return {};
    QStringDecoder probe(name.constData());
    if (!probe.isValid())
        return {};
    // Only a charset that reads ASCII as ASCII can have been declared in ASCII (EBCDIC cannot).
    QByteArray ascii("\t\n\r");
    for (char c = 0x20; c < 0x7F; ++c)
        ascii += c;
    const auto decoded = decodeExact(ascii, name);
    return decoded && *decoded == QString::fromLatin1(ascii) ? name : QByteArray();
}

QList<QByteArray> choosableEncodings() {
    static const QList<QByteArray> available = [] {
        QList<QByteArray> names{kUtf8, kUtf16Le, kUtf16Be, kWindows1252, kLatin1};
        // Those of the platform's converters a page is likely to be in.
        for (const char* name :
             {"ISO-8859-2", "ISO-8859-3", "ISO-8859-4", "ISO-8859-5", "ISO-8859-6", "ISO-8859-7", "ISO-8859-8",
              "ISO-8859-9", "ISO-8859-10", "ISO-8859-13", "ISO-8859-14", "ISO-8859-15", "ISO-8859-16",
              "windows-1250", "windows-1251", "windows-1253", "windows-1254", "windows-1255", "windows-1256",
              "windows-1257", "windows-1258", "KOI8-R", "KOI8-U", "Shift_JIS", "EUC-JP", "ISO-2022-JP",
              "GB18030", "GBK", "Big5", "EUC-KR"})
            if (QStringDecoder(name).isValid())
                names << name;
        return names;
    }();
    return available;
}

std::optional<QString> decodeExact(const QByteArray& bytes, const QByteArray& encoding) {
    if (encoding == kWindows1252)
        return decodeWindows1252(bytes);
    if (encoding == kLatin1)
        return QString::fromLatin1(bytes);
    // A byte-order mark inside the text is content: keep it.
    const auto flags = QStringConverter::Flag::ConvertInitialBom;
    std::optional<QString> text;
    if (auto known = builtIn(encoding)) {
        QStringDecoder decoder(*known, flags);
        text = decodeWith(decoder, bytes);
        // Qt's strict UTF-8 decoder already refuses every form that would not come back the same.
        if (*known == QStringConverter::Utf8)
            return text;
    } else {
        QStringDecoder decoder(encoding.constData(), flags);
        text = decodeWith(decoder, bytes);
    }
    // Other converters may accept bytes they cannot give back (an odd last byte, ambiguous forms).
    if (!text || encodeExact(*text, encoding) != bytes)
        return std::nullopt;
    return text;
}

// UTF-16 holds every code unit a QString can hold, lone surrogates included, so these never fail.
QByteArray encodeUtf16(const QString& text, bool bigEndian) {
    QByteArray out(text.size() * 2, Qt::Uninitialized);
    char* o = out.data();
    for (QChar c : text) {
        const char16_t u = c.unicode();
        *o++ = char(bigEndian ? u >> 8 : u & 0xFF);
        *o++ = char(bigEndian ? u & 0xFF : u >> 8);
    }
    return out;
}

std::optional<QByteArray> encodeExact(const QString& text, const QByteArray& encoding) {
    if (encoding == kWindows1252)
        return encodeWindows1252(text);
    if (encoding == kUtf16Le || encoding == kUtf16Be)
        return encodeUtf16(text, encoding == kUtf16Be);
    if (encoding == kLatin1) {
        if (std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 0xFF; }))
            return std::nullopt;
        return text.toLatin1();
    }
    if (encoding == kUtf8) {
        // Refuses a broken surrogate pair rather than writing a replacement for it, but for the
        // marks of bytes that were no UTF-8.
        // Stateless: a stateful encoder keeps a lone surrogate at the end for a next call, and
        // reports no error while dropping it.
        QStringEncoder encoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        if (auto bytes = encodeWith(encoder, text))
            return bytes;
        return encodeUtf8KeepingBytes(text);
    }
    // Other converters may substitute a character they cannot hold: decoding must give the text back.
    QStringEncoder encoder(encoding.constData());
    const auto bytes = encodeWith(encoder, text);
    if (!bytes)
        return std::nullopt;
    QStringDecoder decoder(encoding.constData(), QStringConverter::Flag::ConvertInitialBom);
    const auto back = decodeWith(decoder, *bytes);
    if (!back || *back != text)
        return std::nullopt;
    return bytes;
}

} // namespace text_encoding
