#pragma once

#include "html_tokenizer.h"

#include <QString>
#include <QStringView>
#include <algorithm>
#include <cstdint>
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
    /// Positions are ints, as in a text document. A big page has hundreds of thousands of tags
    /// and the map stays for as long as the page is open, so a tag takes 16 bytes: the name
    /// starts right after `<` or `</`, and a tag has a partner or an end, never both.
    struct Tag {
        Tag(int start, int end, int nameLength, bool endTag)
            : start(start), end(end),
              bits_(std::uint32_t(std::min(nameLength, kLongestName)) << 3 | std::uint32_t(endTag) << 2 |
                    std::uint32_t(Status::Unmatched)) {}

        int start = 0;
        int end = 0;
        int nameStart() const { return start + (endTag() ? 2 : 1); }
        int nameLength() const { return int(bits_ >> 3); }
        bool endTag() const { return bits_ & 4; }
        Status status() const { return Status(bits_ & 3); }
        /// The partner's index when Matched, else -1.
        int partner() const { return status() == Status::Matched ? link_ : -1; }
        /// A start tag not Matched: where its element ends (the start of what ended it, or the
        /// page's end); else -1.
        int endedAt() const { return status() == Status::Matched || endTag() ? -1 : link_; }

        void setStatus(Status status) { bits_ = (bits_ & ~3u) | std::uint32_t(status); }
        void matchWith(int partner) {
            setStatus(Status::Matched);
            link_ = partner;
        }
        void endAt(Status status, int at) {
            setStatus(status);
            link_ = at;
        }

    private:
        static constexpr int kLongestName = (1 << 29) - 1;
        int link_ = -1;          ///< partner() or endedAt()
        std::uint32_t bits_ = 0; ///< name length, end tag, status
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
