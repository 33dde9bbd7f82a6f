#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

/// Byte <-> text conversions that never lose data: a conversion that would not give back the
/// exact input is refused instead of patched with replacement characters.
namespace text_encoding {

/// Canonical names used for the encodings handled without the platform's converters.
inline constexpr char kUtf8[] = "UTF-8";
inline constexpr char kUtf16Le[] = "UTF-16LE";
inline constexpr char kUtf16Be[] = "UTF-16BE";
inline constexpr char kLatin1[] = "ISO-8859-1";
inline constexpr char kWindows1252[] = "windows-1252";

/// The canonical name for a declared charset, or empty when it cannot be used here: unknown to
/// the platform, or not ASCII-compatible (a declaration in ASCII cannot be true for those).
QByteArray canonicalName(const QByteArray& declared);
/// The encodings a user may choose to read or write a file in, those this platform can convert.
QList<QByteArray> choosableEncodings();
/// Decodes @p bytes; nullopt when they are not valid in @p encoding or would not round-trip.
std::optional<QString> decodeExact(const QByteArray& bytes, const QByteArray& encoding);
/// Encodes @p text; nullopt when some character cannot be held by @p encoding.
std::optional<QByteArray> encodeExact(const QString& text, const QByteArray& encoding);
/// UTF-16 without a byte-order mark; it can hold any text.
QByteArray encodeUtf16(const QString& text, bool bigEndian);
/// A byte of a UTF-8 file that is no UTF-8 is held in the text as the lone surrogate U+DC80 +
/// (byte - 0x80), which no valid UTF-8 decodes to, and written back as the same byte: a page
/// that declares UTF-8 keeps its encoding and every byte, the bad one too.
inline constexpr char16_t kFirstByteMark = 0xDC80;
inline bool isByteMark(QChar c) {
    return c.unicode() >= kFirstByteMark && c.unicode() <= kFirstByteMark + 0x7F;
}
/// Whether @p bytes are UTF-8 that the strict decoder reads without an error.
bool isStrictUtf8(QByteArrayView bytes);
/// Decodes UTF-8, each byte of an invalid sequence as its mark; @p marks receives their number.
QString decodeUtf8KeepingBytes(QByteArrayView bytes, qsizetype* marks = nullptr);
/// Windows-1252 with its five unassigned bytes mapped to the C1 controls of the same value, so
/// that every byte is one character and back.
QString decodeWindows1252(QByteArrayView bytes);

} // namespace text_encoding
