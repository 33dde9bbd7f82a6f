#pragma once

#include "line_indent.h"

#include <QString>
#include <QStringView>
#include <optional>
#include <vector>

/// A code editor's moves on whole lines and comments, as edits of the CR LF text: each command
/// gives the edits to make (one undo step) and the selection to leave. The lines a selection
/// touches are those from the one holding its start to the one holding its end, a selection
/// that ends at a line's start leaving that line out.
namespace line_edits {

using Edit = line_indent::Edit;

struct Changed {
    std::vector<Edit> edits;
    /// The selection after the edits (equal for a caret).
    int selectionStart = 0;
    int selectionEnd = 0;
};

/// How the code at a place is commented out: `<!-- -->` in a page, `/* */` in a style sheet,
/// `//` lines in a script.
enum class CommentStyle { Markup, Block, Line };

/// Comments out the selection (inside one line) or the lines it touches, or takes the comment
/// away when they are one already; twice gives back the bytes. Nullopt with @p refusal set when
/// the text holds the end of a comment, which would end the new one early.
std::optional<Changed> toggleComment(QStringView text, int start, int end, CommentStyle style, QString* refusal);

/// A copy of the selection after it, or of the caret's line below it (the caret goes with it).
Changed duplicate(QStringView text, int start, int end);

/// The lines touched swap with the line above (@p up) or below; nullopt at the text's edge.
std::optional<Changed> moveLines(QStringView text, int start, int end, bool up);

/// The lines touched are removed with their line end; the caret goes to the start of the line
/// that takes their place.
Changed deleteLines(QStringView text, int start, int end);

/// The lines touched become one (a caret's line joins the next), each join one space with the
/// next line's indent dropped; nullopt on the last line.
std::optional<Changed> joinLines(QStringView text, int start, int end);

} // namespace line_edits
