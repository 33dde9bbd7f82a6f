#pragma once

#include "language.h"

#include <QString>
#include <QStringView>
#include <cstdint>
#include <vector>

/// Where a page or style sheet names other files: the URL attributes of its tags (href, src,
/// srcset, action, poster, data), and url() and @import in its style sheets (in <style>, in
/// style="" and in a .css file). Read as a browser reads them, so a name in a comment, in a
/// script or in running text is no reference.
namespace references {

enum class Kind : std::uint8_t { Attribute, CssUrl, CssImport };

struct Reference {
    qsizetype start = 0;  ///< the URL's first character in the text
    qsizetype length = 0; ///< the URL as written: no quotes, no surrounding spaces; in a page
                          ///< it may hold character references (&amp;)
    Kind kind = Kind::Attribute;
    QString element;   ///< for an attribute: the element's name, lower case
    QString attribute; ///< lower case; empty for CSS
};

/// Every reference of @p text in @p language (pages and style sheets; other languages have
/// none), in text order. Each candidate of a srcset is one reference.
std::vector<Reference> find(QStringView text, Language language);

/// Whether @p url names a local file (no scheme, no host): a relative or absolute path.
bool isLocal(QStringView url);

/// A URL split where a path ends: the path, then what follows it from the first `?` or `#`
/// (kept as written when the path changes).
struct SplitUrl {
    QStringView path;
    QStringView rest;
};
SplitUrl split(QStringView url);

} // namespace references
