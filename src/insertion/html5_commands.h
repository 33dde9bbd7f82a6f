#pragma once

#include <QString>
#include <optional>

class Dialogs;
class EditArea;
class QWidget;

/// A table with @p rows body rows of @p columns cells, a header row when asked for, and a caption
/// unless it is empty: thead and tbody, no presentational attributes. CR LF between lines.
QString buildTable(int rows, int columns, bool headerRow, const QString& caption);
/// Asks for the table's shape in one dialog, then puts the table in place of the selection.
void runTableBuilder(Dialogs& dialogs, QWidget* owner, EditArea& editArea);

/// The start tag for what the user typed, e.g. `span class="note"` or `<div id=a>`; nullopt and
/// a reason in @p problem when it is not a well-formed start tag of an element that can hold text.
std::optional<QString> startTagFrom(const QString& typed, QString* problem);
/// The element name of a start tag that startTagFrom() built.
QString elementNameOf(const QString& startTag);
/// Asks for a tag and wraps the selection in it; ill-formed input is refused with a message.
void runWrapInTag(Dialogs& dialogs, QWidget* owner, EditArea& editArea);
