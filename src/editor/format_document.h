#pragma once

#include "line_indent.h"

#include <QString>
#include <QStringView>
#include <optional>
#include <vector>

/// Format Document for pages: each line's indent becomes its element depth, and nothing else
/// changes but, when asked, long start tags wrapped between their attributes and the lines of
/// style sheets and scripts indented by their brackets. Only the whitespace at a line's start is touched, and only where a browser ignores
/// it: never inside <pre>, <textarea>, <script>, <style> and the other raw-text elements, a
/// comment, or a tag (an attribute value may go on over lines). Lines stay as they are; a blank
/// line stays blank.
namespace format_document {

using Edit = line_indent::Edit;

/// How a format lays lines out, as the user chose.
struct Style {
    /// One level of indent; empty: as the page indents (see Formatted::unit).
    QString unit;
    /// A start tag on a line longer than this gets its attributes one a line below it; 0: never.
    int wrapAttributesAt = 0;
    /// The lines of a page's style sheets and scripts are re-indented too, by their brackets.
    bool codeBlocks = false;
};

struct Formatted {
    std::vector<Edit> edits; ///< in text order
    /// One level of indent as the page has it: a tab when its lines are indented with tabs,
    /// else its smallest step of spaces, else two spaces.
    QString unit;
};

/// The edits that re-indent the lines of CR LF @p text from the line holding @p start to the one
/// holding @p end (the whole text when both are 0 and @p end is -1).
Formatted reindent(QStringView text, int start = 0, int end = -1, const Style& style = {});
/// The same for a style sheet (@p css) or a script of its own: each line indented by the brackets
/// open before it. Lines that start in a comment, a string or a template stay as they are.
Formatted reindentCode(QStringView text, bool css, int start = 0, int end = -1, const Style& style = {});

/// @p text with @p edits (in text order) made.
QString applied(QStringView text, const std::vector<Edit>& edits);

/// The check made before a format is applied: @p after must read as @p before does (the same
/// tags, attributes, comments and text, whitespace collapsed where a browser collapses it).
/// Returns where they first differ (a position in @p after), or nullopt when they read alike.
/// With @p codeBlocks, a page's style sheets and scripts are read as code (whitespace collapsed
/// outside strings) rather than as written.
std::optional<int> firstDifference(QStringView before, QStringView after, bool codeBlocks = false);
/// The check for a style sheet or script of its own: the same tokens, strings as written.
std::optional<int> firstCodeDifference(QStringView before, QStringView after, bool css);

} // namespace format_document
