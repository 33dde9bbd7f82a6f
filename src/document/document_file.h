#pragma once

#include <QByteArray>
#include <QString>

/// How a document's file was written, remembered so that saving gives back the same bytes.
struct DocumentFormat {
    enum class LineEnd { CrLf, Lf, Cr };
    QByteArray encoding = "UTF-8";
    bool byteOrderMark = false;
    LineEnd lineEnd = LineEnd::CrLf;
    /// False for a file whose last line had no line end: saving it unchanged adds none.
    bool finalLineEnd = true;
    bool operator==(const DocumentFormat&) const = default;
};

/// A failed file operation: the error number of the file service and the text shown to the user.
struct FileError {
    int number = 0;
    QString description;
    explicit operator bool() const { return number != 0; }
};

struct ReadResult {
    QString text; ///< CR LF line ends, the final line end dropped
    DocumentFormat format;
    FileError error;
};

namespace document_file {

/// Files larger than this are not opened.
inline constexpr qint64 kLargestDocument = qint64(256) * 1024 * 1024;

/// Decodes file bytes into document text and tells the format they came in.
QString decode(const QByteArray& bytes, DocumentFormat* format);
/// Encodes document text for writing: the text plus one final line end (unless the file came
/// without one), in the line-end style
/// and encoding of @p format. When the encoding cannot hold every character, the bytes are
/// UTF-8 instead and @p format says so.
QByteArray encode(const QString& text, DocumentFormat* format);

ReadResult read(const QString& path);
/// Replaces the file at @p path with @p bytes so that, whatever happens, it holds either the old
/// or the new content. Returns an empty error on success.
FileError write(const QString& path, const QByteArray& bytes);

} // namespace document_file
