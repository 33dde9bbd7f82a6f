#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

/// What the live preview is given: the page with each start tag marked with its position in the
/// source, and where each element runs, to find the element the caret is in.
namespace source_marks {

/// An element of the source: its start tag begins at start; it ends at end (after its end tag,
/// where HTML ends it, or at the end of the page).
struct Element {
    int start = 0;
    int end = 0;
    int contentStart = 0; ///< after its start tag
    int contentEnd = 0;   ///< where its end tag begins (its end when it has none)
    enum class Kind : std::uint8_t { Other, Html, Script };
    Kind kind = Kind::Other;
};

struct MarkedPage {
    /// The page with ` data-tagloom-at="N"` after the name of each start tag, N being the tag's
    /// position in the source. The marks go on the tag's own line, so line numbers stay.
    QString text;
    /// Every element, in order of their start tags.
    std::vector<Element> elements;
    /// Where each mark went in, in source positions, with the length of the marks up to and
    /// including it: how source positions move in text.
    std::vector<std::pair<int, int>> marks;

    /// The position in text of source position @p position.
    qsizetype markedPosition(int position) const;
};

MarkedPage mark(QStringView page);

/// An edit shown without loading the page again: the content of one element is replaced.
struct Patch {
    int element = -1;  ///< the element's start, the same before and after
    int editEnd = 0;   ///< where the edited text ended before: marks from here on move by delta
    int delta = 0;
    QString content;   ///< the element's new content, marked
};

/// The patch that takes a preview of @p before (marked as @p old) to @p after (marked as @p now)
/// by replacing the content of the innermost element that holds the whole edit; nullopt when
/// only loading the page again will do (no such element, the element is the page or a script,
/// the edit changed where it ends, or a script comes in).
std::optional<Patch> patch(QStringView before, const MarkedPage& old, QStringView after, const MarkedPage& now);

/// The start of the innermost element that holds @p position (inside its start tag counts), or -1.
int elementAt(const std::vector<Element>& elements, int position);

} // namespace source_marks
