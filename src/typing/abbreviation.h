#pragma once

#include <QString>
#include <QStringView>
#include <optional>

/// Abbreviations of markup, as web authors write them: `ul>li.item*3>a[href=#]{Link $}`.
///
///  - `>` a child, `+` a sibling, `^` climbs one level (repeatable), `(…)` groups;
///  - `*N` repeats an element or group; `$` in a name, id, class, attribute or text is the
///    repetition's number (`$$` pads it to two digits);
///  - `#id`, `.class`, `[name=value name2="a b" flag]`, `{text}`;
///  - a name left out is implied by the parent (`li` in a list, `tr` in a table, `td` in a row,
///    `option` in a select, `span` in an inline element, else `div`);
///  - `!` alone is an HTML5 page.
namespace abbreviation {

/// Where the abbreviation that ends @p line (the text before the caret) starts, or -1 when none
/// does: it runs back to a space outside brackets, a tag, or the line's start.
qsizetype startIn(QStringView line);

struct Expansion {
    QString text;       ///< with CR LF line ends; every line after the first starts with the indent
    qsizetype caret = 0; ///< in text: the first empty place (an empty value or element)
};
/// The markup for @p abbreviation, or nothing when it is no valid abbreviation. Lines after the
/// first get @p indent before their own indentation (one tab a level).
std::optional<Expansion> expand(QStringView abbreviation, QStringView indent = {});

} // namespace abbreviation
