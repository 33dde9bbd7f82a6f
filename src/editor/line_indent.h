#pragma once

#include <QString>
#include <QStringView>
#include <vector>

/// Tab and Shift+Tab on whole lines: the edits that indent or outdent every line a selection
/// touches, as code editors do.
namespace line_indent {

struct Edit {
    int start = 0; ///< CR LF text position
    int length = 0;
    QString text;
};

struct Indented {
    std::vector<Edit> edits;
    /// The lines after the edits, from the first one's start to the last one's end: the
    /// selection to leave, so that the next Tab takes the same lines.
    int selectionStart = 0;
    int selectionEnd = 0;
};

/// Whether the selection [@p start, @p end) of CR LF @p text holds a line end: Tab then indents
/// its lines instead of replacing it.
bool spansLines(QStringView text, int start, int end);

/// A tab before every line from the one holding @p start to the one holding @p end (a selection
/// that ends at a line's start leaves that line out), or, with @p outdent, one tab or up to four
/// spaces less at their starts.
Indented indentLines(QStringView text, int start, int end, bool outdent);

} // namespace line_indent
