#pragma once

#include "file_error.h"

#include "base/line_end.h"

#include <QByteArray>
#include <QString>
#include <optional>

/// How a document's file was written, remembered so that saving gives back the same bytes.
struct DocumentFormat {
    using LineEnd = ::LineEnd;
    QByteArray encoding = "UTF-8";
    bool byteOrderMark = false;
    /// The file's usual line end: new lines get it, and so does every line without an exception.
    LineEnd lineEnd = LineEnd::CrLf;
    /// Bytes of a UTF-8 file that were no UTF-8, kept in the text as marks (text_encoding::
    /// isByteMark) that are written back as the same bytes.
    qsizetype invalidBytes = 0;
    /// False for a file whose last line had no line end: saving it unchanged adds none.
    bool finalLineEnd = true;
    bool operator==(const DocumentFormat&) const = default;
};

struct ReadResult {
    QString text; ///< CR LF line ends, the final line end dropped
    DocumentFormat format;
    /// Lines whose own line end differs from format.lineEnd.
    LineEndExceptions lineEnds;
    FileError error;
};

namespace document_file {

/// Files larger than this are not opened.
inline constexpr qint64 kLargestDocument = qint64(256) * 1024 * 1024;

/// Decodes file bytes into document text and tells the format they came in.
QString decode(const QByteArray& bytes, DocumentFormat* format, LineEndExceptions* lineEnds = nullptr);

/// How decode() reads a file whose encoding gives every ASCII byte as that character and no
/// ASCII character from other bytes: ASCII text is then found in its bytes as they are.
struct AsciiReading {
    enum class Encoding { Utf8, Windows1252, Latin1 };
    Encoding encoding = Encoding::Utf8;
    qsizetype bodyStart = 0; ///< after a byte-order mark that is no text
};
/// The reading decode() gives @p bytes, or nullopt when it is none of those (UTF-16, a declared
/// charset of another kind).
std::optional<AsciiReading> asciiReading(const QByteArray& bytes);
/// Bytes of the body between line ends, decoded as decode() decodes them there.
QString decodeLine(QByteArrayView line, AsciiReading::Encoding encoding);

/// Decodes file bytes as @p encoding (a byte-order mark of it is skipped); nullopt when the
/// bytes are not exactly that encoding.
std::optional<QString> decodeAs(const QByteArray& bytes, const QByteArray& encoding, DocumentFormat* format,
                                LineEndExceptions* lineEnds = nullptr);

/// Whether @p encoding can hold every character of @p text; if not, @p firstMissing (when given)
/// receives the position of the first character it cannot hold.
bool canEncode(const QString& text, const QByteArray& encoding, qsizetype* firstMissing = nullptr);

/// Encodes document text for writing: each line end in its line's style (@p lineEnds, else the
/// format's usual one), a final line end unless the file came without one, and the encoding of
/// @p format. When the encoding cannot hold every character, the bytes are UTF-8 instead and
/// @p format says so; callers that must not change the encoding silently ask canEncode() first.
QByteArray encode(const QString& text, DocumentFormat* format, const LineEndExceptions& lineEnds = {});

/// Reads and decodes a regular file, bounded by kLargestDocument and by the memory available.
/// The encoding is detected, or @p encoding when given.
ReadResult read(const QString& path, const QByteArray& encoding = {});

/// The start of a file as read() will read it, when that cannot depend on the rest of the file:
/// whole lines of at least @p atLeast characters, every byte of them printable ASCII (which every
/// encoding read() may choose reads alike), with CR LF line ends and no final line end. Null when
/// the start holds anything else or the file is not longer than that.
QString readFirstScreen(const QString& path, qsizetype atLeast);

/// Replaces the file at @p path with @p bytes so that, whatever happens, it holds either the old
/// or the new content. Returns an empty error on success.
FileError write(const QString& path, const QByteArray& bytes);

/// The name of a backup that an interrupted save left beside @p path, or empty.
QString interruptedSaveBackup(const QString& path);

/// Once at start: a write beyond the process's file-size limit then fails with an error that a
/// save reports, instead of the signal that would end the program with its unsaved text.
void reportFileSizeLimitAsError();

} // namespace document_file
