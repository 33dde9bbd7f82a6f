#pragma once

#include "language.h"

#include <QString>
#include <QStringView>
#include <vector>

class TagMap;

/// The stretches of a document a reader may fold away: a page's elements (to their end tag, or
/// to where HTML ends them), its comments, and the `{}` and `[]` blocks of style sheets and
/// scripts, in their own files and inside a page. Read as a browser reads the text: a brace in a
/// string or a comment opens nothing.
namespace folds {

struct Range {
    qsizetype start = 0; ///< the `<`, the `<!--` or the bracket
    qsizetype end = 0;   ///< just past the end tag, `-->` or bracket; for an element HTML ends by
                         ///< itself, just past its last character that is not a space
    QString opening;     ///< what the text at start must still say for the fold to stand: `<table`, `<!--`, `{`
    QString closing;     ///< what ends it: `</table>`, `-->`, `}`; empty for an element ended by what follows
};

/// The ranges of @p text (line ends of any kind, U+2029 included) in @p language that span
/// lines, sorted by
/// start, an outer range before the ranges inside it. @p map is the page's tag map (unused for
/// style sheets and scripts).
std::vector<Range> of(QStringView text, Language language, const TagMap& map);

} // namespace folds
