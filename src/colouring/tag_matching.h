#pragma once

#include "html_tokenizer.h"

#include <QString>
#include <QStringView>
#include <vector>

/// Every tag of a page with its partner, found by HTML's rules: void elements have no partner,
/// raw-text content holds no tags, and elements whose end tag may be left out (p, li, td, …)
/// end where HTML ends them.
class TagMap {
public:
    enum class Status : std::uint8_t {
        Matched,          ///< its partner is partner
        Void,             ///< an element that never has an end tag, or a tag closed by `/>`
        EndedImplicitly,  ///< ended by what follows, as HTML allows for this element
        Unmatched,        ///< a start tag never ended, or an end tag with nothing to end
    };
    /// Positions are ints, as in a text document: a big page has hundreds of thousands of tags.
    struct Tag {
        int start = 0;
        int end = 0;
        int nameStart = 0;
        int nameLength = 0;
        bool endTag = false;
        Status status = Status::Unmatched;
        int partner = -1;
        /// A start tag not Matched: where its element ends (the start of what ended it, or the
        /// page's end).
        int endedAt = -1;
    };
    /// The elements whose content or tags hold @p position, outermost first (tag indexes), as a
    /// browser nests them.
    std::vector<int> elementsAt(qsizetype position) const;

    static TagMap build(QStringView page);

    const std::vector<Tag>& tags() const { return tags_; }
    /// The tag whose `<` or name holds @p position (the position right after the name counts),
    /// or -1.
    int tagAtName(qsizetype position) const;

    /// The innermost element still open at the end of @p pageBefore whose end tag would close
    /// it, or an empty string when there is none or the text there is not markup (a comment,
    /// script or style content, inside a tag).
    static QString elementToClose(QStringView pageBefore);

private:
    std::vector<Tag> tags_;
};
