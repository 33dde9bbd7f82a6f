#pragma once

#include "language.h"

#include <QString>
#include <QStringView>
#include <vector>

/// A document's outline, as a reader finds their way in it: a page's headings, or the elements
/// it names (an id) and its landmarks; a style sheet's rules and at-rules. Read as a browser
/// reads the text: nothing in comments, scripts or strings.
namespace outline {

struct Entry {
    int level = 1;       ///< 1 at the top; a child is one deeper than its parent
    QString label;       ///< "Opening hours", "main#content", "a:hover", "@media (width < 40em)"
    qsizetype start = 0; ///< where it starts in the text
};

enum class Kind {
    Headings,  ///< h1-h6, their levels as they are
    Landmarks, ///< elements with an id, and header, nav, main, section, article, aside, footer,
               ///< form and table, nested as they are in the page
};

/// The outline of @p text in @p language: a page's in @p kind, a style sheet's rules (at-rules
/// with their rules inside); other languages have none.
std::vector<Entry> of(QStringView text, Language language, Kind kind = Kind::Headings);

} // namespace outline
