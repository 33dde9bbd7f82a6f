#pragma once

#include "base/folder_walk.h"
#include "colouring/language.h"
#include "editor/text_search.h"

#include <QHash>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

/// Links that follow a moved file: when a page, style sheet, script, image or folder of a site
/// is renamed or moved, or an id renamed, the references across the site that named it are
/// rewritten to name it again. Only the path (or the #fragment) of a URL changes; its ?query and
/// #fragment, its quotes and everything around it stay as written.
namespace link_rewrite {

/// A file or folder moving: absolute, clean paths.
struct Move {
    QString from;
    QString to;
};
/// Where @p path is once @p move is made.
QString movedPath(const QString& path, const Move& move);

/// Replacements in a document's text (its CR LF text), in text order.
using Edits = std::vector<std::pair<SearchMatch, QString>>;

/// The edits that keep the references of @p text (a document in @p language whose file is at
/// @p documentPath before the move) naming the same files after @p move, the document itself
/// included when it moves. Root-relative URLs are of @p siteRoot.
Edits forMove(QStringView text, Language language, const QString& documentPath, const QString& siteRoot,
              const Move& move);

/// An id renamed in @p page: the edits that make the links of @p text to `page#oldId` (and, in
/// the page itself, its `#oldId` links) name @p newId.
struct IdRename {
    QString page;
    QString oldId;
    QString newId;
};
Edits forId(QStringView text, Language language, const QString& documentPath, const QString& siteRoot,
            const IdRename& rename);
/// In the page itself: the id attribute and the attributes that refer to ids (for, headers,
/// list, form, aria-labelledby and the other aria references), token by token.
Edits idAttributes(QStringView text, const QString& oldId, const QString& newId);

/// The value of the id attribute the caret at @p position is on (its name or its value), as
/// start and length in @p text; nullopt when it is on none.
std::optional<SearchMatch> idAt(QStringView text, qsizetype position);

/// When a file's @p encoding cannot hold the new URLs of @p edits in @p text (a name in another
/// script in a Latin-1 page), they are written with percent escapes, which every encoding holds.
void fitEncoding(QStringView text, Edits& edits, const QByteArray& encoding);

/// The text with @p edits made.
QString applied(QStringView text, const Edits& edits);

/// A line that changes, as the list shown before anything changes gives it.
struct LineChange {
    int line = 0; ///< 1-based
    QString before;
    QString after;
};
std::vector<LineChange> changedLines(QStringView text, const Edits& edits);

/// What a change across a site will do, before it is made.
struct FileChange {
    QString path; ///< where the file is now
    Edits edits;
    std::vector<LineChange> lines;
    bool open = false; ///< the text came from a tab
};
struct Plan {
    std::vector<FileChange> files;
    std::vector<folder_walk::PassedOver> passedOver;
    QStringList unreadable; ///< pages and style sheets that could not be read, with the reason
};
/// The edits of one document: its text, language and path.
using EditMaker = std::function<Edits(QStringView text, Language language, const QString& path)>;
/// Reads every page and style sheet under @p siteRoot (the ones open in tabs from @p openTexts,
/// by path, with their unsaved text) and lists the edits @p makeEdits gives each. Runs off the
/// window's thread.
Plan plan(const QString& siteRoot, const EditMaker& makeEdits, const QHash<QString, QString>& openTexts);

/// Makes @p move on disk, as one rename (never a copy): the error to show, or nullopt when done.
/// A name already taken is refused.
std::optional<QString> moveOnDisk(const Move& move);

/// What rewriting the files of a plan did.
struct Written {
    QStringList changed;   ///< files written
    QStringList unchanged; ///< files that could not be written, with the reason; each is as it was
};
/// Writes the files of @p plan that are not open in tabs (at their place after @p move, when
/// given), each read again and its edits made again on what it holds now, through the writer
/// that keeps every other byte (encoding, byte-order mark, line ends).
Written rewriteFiles(const Plan& plan, const EditMaker& makeEdits, const Move* move);

/// Files that may hold references: pages and style sheets, by name.
bool mayHoldReferences(const QString& path);

} // namespace link_rewrite
