#pragma once

#include "colouring/html_tokenizer.h"

#include <QString>
#include <QStringList>
#include <QSize>
#include <QStringView>
#include <cstdint>
#include <vector>

/// What to offer while typing HTML (an element name, an attribute, its value, a character
/// reference) or a style sheet (a property, its value, an at-rule, a pseudo-class or -element):
/// where the caret is, the entries that fit there, and their order as the user types on.
namespace completion {

enum class Kind {
    None,
    ElementName,
    AttributeName,
    AttributeValue,
    CharacterReference,
    CssProperty,
    CssValue,
    CssAtRule,
    CssPseudo,
    Path, ///< a file of the site: in src, href, srcset, action, poster, CSS url() and @import
    ClassName,   ///< in class="…": the classes of the page's style sheets
    IdReference, ///< in href="#…", for, list, form, headers and the aria-* id references: the page's ids
    CssClassSelector, ///< `.name` in a selector: the classes the site's pages use
    CssIdSelector,    ///< `#name` in a selector: the ids of the site's pages
};

struct Context {
    Kind kind = Kind::None;
    QString typed;      ///< what is typed of the entry, just before the caret
    QString element;    ///< the tag's element, in lower case (attributes and values)
    QString attribute;  ///< the attribute (or CSS property) whose value is typed, in lower case
    QStringList present; ///< the attributes the tag already has, in lower case
    bool quoted = true; ///< a value is typed inside quotes (else the quotes come with it)
    QString folder;     ///< a path's folders as typed before its last part (`img/`), relative to the page
};

/// Reads @p tail, the text from a point where the tokenizer stood in @p state (between tags) up
/// to the caret, with '\n' for its line ends.
Context contextAt(HtmlTokenizer state, QStringView tail);

struct Item {
    QString label;       ///< what the list shows
    QString detail;      ///< beside it: a reference's character
    QString description; ///< Markdown
    QString reference;   ///< a link to more, or empty
    QString text;        ///< what replaces the typed part
    int caretBack = 0;   ///< where the caret goes: this many characters before the end of text
    bool offersValues = false; ///< the caret lands in a value that has a list of its own
    QString image; ///< an image whose width and height come with it, read when it is taken
};

/// Where the caret is in a style sheet: @p lineBeforeCaret is its line up to the caret, which
/// the CSS lexer starts in @p lineState.
Context cssContextAt(std::uint32_t lineState, QStringView lineBeforeCaret);

/// The files and folders a path typed in a page in @p pageFolder can go on with: folders first
/// (accepting one lists what it holds), then files; nothing hidden, nothing whose name is not
/// valid text, and at most a few thousand.
std::vector<Item> pathItems(const QString& pageFolder, const Context& context);

/// The names a page offers: the ids it gives its elements, and the classes its own <style>
/// elements and the local style sheets it links define, in order, each once. Linked sheets
/// are read from @p pageFolder (regular files of at most a megabyte).
struct PageNames {
    QStringList ids;
    QStringList classes;
};
PageNames pageNames(QStringView page, const QString& pageFolder);
/// The classes a style sheet defines (`.name` in its selectors), in order, each once.
QStringList classesOf(QStringView styleSheet);
/// The names a page uses: the tokens of its class attributes and its ids, as a browser reads
/// its tags (not in comments or scripts), in order, each once.
PageNames namesUsed(QStringView page);
/// The items of ClassName and IdReference contexts.
std::vector<Item> nameItems(const QStringList& names, const Context& context);

/// What a path item that brings its image's size inserts: the path, then `width` and `height`
/// attributes after the value's closing quote (@p quoteFollows: one is there already).
QString withImageSize(const QString& text, QSize size, bool quoteFollows);

/// Everything that fits @p context, in the order to show when nothing is typed. Obsolete
/// elements and attributes are not offered, nor attributes the tag already has.
std::vector<Item> itemsFor(const Context& context);

/// The indexes of the items whose label matches @p typed, best first: the exact name, then
/// names that start with it, then names that hold its letters in order; within each, the case
/// typed first; ties keep their order.
std::vector<int> rank(const std::vector<Item>& items, QStringView typed);

} // namespace completion
