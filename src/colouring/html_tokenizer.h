#pragma once

#include <QStringView>
#include <cstdint>

/// What a stretch of a page is, as the HTML tokenizer reads it.
enum class HtmlSpan : std::uint8_t {
    TagBracket,     ///< `<`, `</`, `>` and `/>`
    TagName,
    AttributeName,
    AttributeValue, ///< with its quotes
    Comment,        ///< `<!--` through `-->`, and bogus comments such as `<?xml …>`
    Doctype,
    Cdata,
    CharacterReference,
};

/// A start or end tag, with positions in the text given to HtmlTokenizer::feed().
struct HtmlTag {
    qsizetype start = 0;      ///< the `<`
    qsizetype end = 0;        ///< just past the `>` (or the end of the text for a tag cut short)
    qsizetype nameStart = 0;
    qsizetype nameLength = 0;
    bool endTag = false;
    bool selfClosing = false;
    bool complete = false; ///< ended by `>`
};

/// The tokenizer of the HTML standard, reduced to what an editor shows: the states that decide
/// where tags, attributes, comments, the doctype, CDATA and character references are. The
/// content of script, style, textarea, title (and the other raw-text elements) holds no tags.
///
/// Its state between two feed() calls is small and copyable, so it can be kept per line and a
/// change re-tokenized from the line it starts on.
class HtmlTokenizer {
public:
    enum class State : std::uint8_t {
        Data,
        RawText, ///< inside a raw-text or RCDATA element, until its end tag
        TagOpen,
        EndTagOpen,
        TagName,
        BeforeAttributeName,
        AttributeName,
        AfterAttributeName,
        BeforeAttributeValue,
        AttributeValueDoubleQuoted,
        AttributeValueSingleQuoted,
        AttributeValueUnquoted,
        AfterAttributeValueQuoted,
        SelfClosingStartTag,
        MarkupDeclarationOpen,
        Comment,
        BogusComment,
        Doctype,
        Cdata,
    };
    /// The raw-text elements, whose content ends only at their own end tag.
    enum class RawText : std::uint8_t { None, Script, Style, Textarea, Title, Xmp, Iframe, Noembed, Noframes, Noscript };

    struct Listener {
        virtual ~Listener() = default;
        virtual void span(HtmlSpan, qsizetype /*start*/, qsizetype /*length*/) {}
        virtual void tag(const HtmlTag&) {}
    };

    State state() const { return state_; }
    /// In RawText: which element's content is being read.
    RawText rawText() const { return rawText_; }
    bool operator==(const HtmlTokenizer&) const = default;
    /// The state between lines packed into a number that fits a QTextBlock's user state (never
    /// negative), and back. The tag being read keeps what decides how the page reads on, not
    /// where it started.
    int lineState() const;
    static HtmlTokenizer fromLineState(int packed);
    /// Inside an svg or math element (during a span() call: for the tag being read).
    bool inForeignContent() const { return foreignDepth_ > 0; }

    /// Reads @p text, which stands at @p offset in the page, from the current state on. Spans
    /// and tags are reported with page positions. A span cut by the end of @p text is reported
    /// up to there and goes on in the next call, which must start where this one ended or one
    /// line separator later; a tag is reported once its `>` is read.
    void feed(QStringView text, qsizetype offset, Listener& listener);
    /// The page ends at @p end: a tag still open is reported, with complete == false.
    void finish(qsizetype end, Listener& listener);
    /// A whole page from its start: feed() and finish() in one.
    static void read(QStringView page, Listener& listener) {
        HtmlTokenizer tokenizer;
        tokenizer.feed(page, 0, listener);
        tokenizer.finish(page.size(), listener);
    }

private:
    void startTag(qsizetype at, bool endTag);
    void emitTag(qsizetype end, bool complete, Listener& listener);

    State state_ = State::Data;
    RawText rawText_ = RawText::None;
    std::uint16_t foreignDepth_ = 0; ///< svg and math elements open: CDATA is allowed in them
    // The tag being read.
    bool endTag_ = false;
    bool selfClosing_ = false;
    bool tagForeign_ = false; ///< svg or math
    bool tagBreaksOut_ = false; ///< an HTML element that ends foreign content
    RawText tagRawText_ = RawText::None;
    qsizetype tagStart_ = 0;
    qsizetype nameStart_ = 0;
    qsizetype nameLength_ = 0;
    qsizetype tokenStart_ = 0; ///< where the current span began
};
