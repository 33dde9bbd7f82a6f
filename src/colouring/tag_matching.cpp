#include "tag_matching.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <initializer_list>

static_assert(sizeof(TagMap::Tag) == 16, "a big page has hundreds of thousands of tags");

namespace {
using Status = TagMap::Status;

const QSet<QString>& voidElements() {
    static const QSet<QString> names{"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta",
                                     "source", "track", "wbr", "param", "keygen", "basefont", "bgsound", "frame"};
    return names;
}

// Elements whose end tag HTML lets the author leave out.
const QSet<QString>& optionalEnd() {
    static const QSet<QString> names{"html", "head", "body", "p", "li", "dt", "dd", "option", "optgroup",
                                     "tr", "td", "th", "thead", "tbody", "tfoot", "colgroup", "rb", "rt",
                                     "rtc", "rp", "caption"};
    return names;
}

/// Whether a start tag named @p next ends the open element @p open, as HTML's tree builder
/// would end it.
bool endsImplicitly(const QString& open, const QString& next) {
    static const QSet<QString> closesP{
        "address", "article", "aside", "blockquote", "center", "details", "dialog", "dir", "div",
        "dl", "fieldset", "figcaption", "figure", "footer", "form", "h1", "h2", "h3", "h4", "h5", "h6",
        "header", "hgroup", "hr", "li", "dd", "dt", "listing", "main", "menu", "nav", "ol", "p", "pre",
        "search", "section", "summary", "table", "ul", "xmp", "plaintext"};
    static const QSet<QString> headContent{"base", "basefont", "bgsound", "link", "meta", "noscript",
                                           "script", "style", "template", "title", "noframes"};
    auto in = [&](std::initializer_list<const char*> names) {
        return std::any_of(names.begin(), names.end(), [&](const char* n) { return next == QLatin1StringView(n); });
    };
    if (open == u"p")
        return closesP.contains(next);
    if (open == u"li")
        return next == u"li";
    if (open == u"dt" || open == u"dd")
        return in({"dt", "dd"});
    if (open == u"option")
        return in({"option", "optgroup", "hr"});
    if (open == u"optgroup")
        return in({"optgroup", "hr"});
    if (open == u"td" || open == u"th")
        return in({"td", "th", "tr", "tbody", "thead", "tfoot"});
    if (open == u"tr")
        return in({"tr", "tbody", "thead", "tfoot"});
    if (open == u"thead" || open == u"tbody" || open == u"tfoot")
        return in({"tbody", "tfoot", "thead"});
    if (open == u"colgroup")
        return !in({"col", "template"});
    if (open == u"caption")
        return in({"thead", "tbody", "tfoot", "tr", "td", "th", "col", "colgroup"});
    if (open == u"rb" || open == u"rt" || open == u"rtc" || open == u"rp")
        return in({"rb", "rt", "rtc", "rp"}) && !(open == u"rtc" && (next == u"rt" || next == u"rp"));
    if (open == u"head")
        return !headContent.contains(next);
    return false;
}


/// The open-element stack as tags arrive. Names are compared lower-case.
class Builder {
public:
    explicit Builder(QStringView page) : page_(page) {}

    struct Open {
        int tag;
        QString name;
    };

    /// Adds tag @p index; @p tags receive their status and partners.
    void add(std::vector<TagMap::Tag>& tags, int index, bool selfClosing) {
        TagMap::Tag& tag = tags[size_t(index)];
        const QString name = page_.mid(tag.nameStart(), tag.nameLength()).toString().toLower();
        if (!tag.endTag()) {
            if (foreign_ == 0)
                while (!open_.empty() && endsImplicitly(open_.back().name, name))
                    end(tags, Status::EndedImplicitly, tag.start);
            if (voidElements().contains(name) || selfClosing) {
                tag.setStatus(Status::Void);
                return;
            }
            if (name == u"svg" || name == u"math" || foreign_ > 0)
                ++foreign_;
            open_.push_back({index, name});
            return;
        }
        auto found = std::find_if(open_.rbegin(), open_.rend(), [&](const Open& o) { return o.name == name; });
        if (found == open_.rend())
            return; // nothing to end: Unmatched
        const qsizetype depth = open_.rend() - found - 1;
        while (qsizetype(open_.size()) > depth + 1)
            end(tags, optionalEnd().contains(open_.back().name) ? Status::EndedImplicitly : Status::Unmatched, tag.start);
        tags[size_t(open_.back().tag)].matchWith(index);
        tag.matchWith(open_.back().tag);
        pop();
    }

    void finish(std::vector<TagMap::Tag>& tags) {
        while (!open_.empty())
            end(tags, optionalEnd().contains(open_.back().name) ? Status::EndedImplicitly : Status::Unmatched,
                int(page_.size()));
    }

    const std::vector<Open>& open() const { return open_; }

private:
    void end(std::vector<TagMap::Tag>& tags, Status status, int at) {
        tags[size_t(open_.back().tag)].endAt(status, at);
        pop();
    }
    void pop() {
        open_.pop_back();
        if (foreign_ > 0)
            --foreign_;
    }

    QStringView page_;
    std::vector<Open> open_;
    int foreign_ = 0; ///< open elements inside svg or math, where HTML's implied ends do not apply
};

/// Matches tags as the tokenizer finds them, in page order: each gets its status and partner,
/// and the builder is left with the elements still open. No list of the tokenizer's own tags is
/// kept on the way: on a big page it would be the largest thing a build makes.
struct Matcher : HtmlTokenizer::Listener {
    Matcher(std::vector<TagMap::Tag>& tags, Builder& builder) : tags(tags), builder(builder) {}
    void tag(const HtmlTag& t) override {
        tags.emplace_back(int(t.start), int(t.end), int(t.nameLength), t.endTag);
        builder.add(tags, int(tags.size() - 1), t.selfClosing);
    }
    std::vector<TagMap::Tag>& tags;
    Builder& builder;
};
} // namespace

TagMap TagMap::build(QStringView page) {
    HtmlTokenizer tokenizer;
    TagMap map;
    Builder builder(page);
    Matcher matcher(map.tags_, builder);
    tokenizer.feed(page, 0, matcher);
    tokenizer.finish(page.size(), matcher);
    builder.finish(map.tags_);
    map.tags_.shrink_to_fit(); // kept for as long as the page is open
    return map;
}

std::vector<int> TagMap::elementsAt(qsizetype position) const {
    std::vector<int> around;
    for (int index = 0; index < int(tags_.size()) && tags_[size_t(index)].start <= position; ++index) {
        const Tag& tag = tags_[size_t(index)];
        if (tag.endTag())
            continue;
        // An element ended by what follows holds a caret right before that.
        const bool inside = tag.status() == Status::Matched ? position < tags_[size_t(tag.partner())].end
                            : tag.status() == Status::Void  ? position < tag.end
                                                            : position <= tag.endedAt();
        if (inside)
            around.push_back(index);
    }
    return around;
}

int TagMap::tagAtName(qsizetype position) const {
    auto after = std::upper_bound(tags_.begin(), tags_.end(), position,
                                  [](qsizetype pos, const Tag& t) { return pos < t.start; });
    if (after == tags_.begin())
        return -1;
    const Tag& tag = *(after - 1);
    return position <= tag.nameStart() + tag.nameLength() ? int(after - 1 - tags_.begin()) : -1;
}

QString TagMap::elementToClose(QStringView pageBefore) {
    HtmlTokenizer tokenizer;
    std::vector<Tag> tags;
    Builder builder(pageBefore);
    Matcher matcher(tags, builder);
    tokenizer.feed(pageBefore, 0, matcher);
    if (tokenizer.state() != HtmlTokenizer::State::Data)
        return {};
    return builder.open().empty() ? QString() : builder.open().back().name;
}
