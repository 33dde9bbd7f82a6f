#pragma once

#include "base/folder_walk.h"
#include "document/document_file.h"
#include "document/file_error.h"
#include "editor/text_search.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

/// Find and Replace in Files: the files of a folder, searched and changed on worker threads
/// without the window. Files are read and written through the document reader and writer, so
/// that a file changed keeps its encoding, byte-order mark and line ends.
namespace file_search {

/// One match, as a user finds it in the editor.
struct Hit {
    int line = 0;   ///< 1-based
    int column = 0; ///< 1-based, in UTF-16 code units of the line
    int length = 0;
    QString lineText; ///< the line, cut short around the match when it is long
};

struct FileHits {
    enum class Skipped { No, Binary, TooBig, Unreadable, NotRegular };
    QString path;
    std::vector<Hit> hits;
    Skipped skipped = Skipped::No;
    QString why;      ///< why it was skipped, for the user
    qint64 bytes = 0; ///< read, for the speed a search reaches
};

/// The regular files under @p folder (its subfolders too, hidden ones and links to folders
/// left out) whose names match one of @p patterns ("*.html"), sorted, each once; with
/// @p outside, files that links lead to outside the folder too. @p cancelled is asked now and then.
folder_walk::Walk listFiles(const QString& folder, const QStringList& patterns, bool outside = false,
                            const std::function<bool()>& cancelled = {});

/// The name patterns typed as one line: "*.html; *.css" or "*.html *.css".
QStringList splitPatterns(const QString& typed);

/// Every match of @p search in the file. A file with NUL bytes (and no UTF-16 byte-order mark)
/// is binary and is skipped, as is one too big to open.
FileHits searchFile(const QString& path, const TextSearch& search);

/// The matches of @p search in a file's bytes: found in the bytes themselves where the search
/// and the file's encoding allow it, else in the decoded text, with the same results.
std::vector<Hit> hitsIn(const QByteArray& bytes, const TextSearch& search);
/// The matches of @p search in document text (CR LF line ends).
std::vector<Hit> hitsInText(QStringView text, const TextSearch& search);

struct Replaced {
    QString path;
    int count = 0;
    FileError error;  ///< set when the file could not be read or written; it is then unchanged
    QString problem;  ///< what stopped the write, for the user
};
/// Replaces every match of @p search in a file that is not open in the editor, and writes it:
/// only the matches change, every other byte stays as it was.
Replaced replaceInFile(const QString& path, const TextSearch& search, const QString& replacement);
/// Writes @p file (as read from @p path) with @p edits made (in order, in its CR LF text): only
/// they change, every other byte stays; refused when its encoding cannot hold them.
Replaced writeEdited(const QString& path, const ReadResult& file, const std::vector<std::pair<SearchMatch, QString>>& edits);

} // namespace file_search
