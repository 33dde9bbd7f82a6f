#pragma once

#include <QString>
#include <QStringView>
#include <vector>

/// What the live preview is given: the page with each start tag marked with its position in the
/// source, and where each element runs, to find the element the caret is in.
namespace source_marks {

/// An element of the source: its start tag begins at start; it ends at end (after its end tag,
/// where HTML ends it, or at the end of the page).
struct Element {
    int start = 0;
    int end = 0;
};

struct MarkedPage {
    /// The page with ` data-tagloom-at="N"` after the name of each start tag, N being the tag's
    /// position in the source. The marks go on the tag's own line, so line numbers stay.
    QString text;
    /// Every element, in order of their start tags.
    std::vector<Element> elements;
};

MarkedPage mark(QStringView page);

/// The start of the innermost element that holds @p position (inside its start tag counts), or -1.
int elementAt(const std::vector<Element>& elements, int position);

} // namespace source_marks
