#include "folds.h"

#include "embedded_code.h"
#include "html_tokenizer.h"
#include "tag_matching.h"

#include <algorithm>

namespace folds {
namespace {

bool isLineEnd(QChar c) {
    return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator;
}

using embedded_code::isQuoted;

/// The bracket blocks of code in text[from, to), read line by line by the style sheet's or the
/// script's own lexer so that brackets in strings, comments and patterns count for nothing.
void codeBlocks(QStringView text, qsizetype from, qsizetype to, bool css, std::vector<Range>& out) {
    std::uint32_t state = css ? embedded_code::cssStart() : embedded_code::jsStart();
    std::vector<std::uint8_t> colours;
    std::vector<std::pair<QChar, qsizetype>> open;
    for (qsizetype lineStart = from; lineStart < to;) {
        qsizetype lineEnd = lineStart;
        while (lineEnd < to && !isLineEnd(text[lineEnd]))
            ++lineEnd;
        const QStringView line = text.mid(lineStart, lineEnd - lineStart);
        colours.assign(size_t(line.size()), 0);
        if (css)
            embedded_code::colourCss(line, state, colours.data());
        else
            embedded_code::colourJs(line, state, colours.data());
        for (qsizetype i = 0; i < line.size(); ++i) {
            const QChar c = line[i];
            if ((c != u'{' && c != u'}' && c != u'[' && c != u']') || isQuoted(colours[size_t(i)]))
                continue;
            if (c == u'{' || c == u'[') {
                open.emplace_back(c, lineStart + i);
                continue;
            }
            const QChar wanted = c == u'}' ? u'{' : u'[';
            // A stray closing bracket closes nothing; one that skips an unclosed opener closes it too.
            const auto it = std::find_if(open.rbegin(), open.rend(), [&](const auto& o) { return o.first == wanted; });
            if (it == open.rend())
                continue;
            const qsizetype start = it->second;
            open.erase(std::next(it).base(), open.end());
            out.push_back({start, lineStart + i + 1, QString(wanted), QString(c)});
        }
        lineStart = lineEnd + (lineEnd < to ? 1 : 0);
    }
}

struct PageReader : HtmlTokenizer::Listener {
    QStringView text;
    std::vector<Range>* out = nullptr;
    // The script or style being read: where its content starts, and whether it is code.
    bool readingType = false;
    QString type;
    qsizetype codeStart = -1;
    bool codeIsCss = false;
    bool codeIsScript = false;

    void span(HtmlSpan kind, qsizetype start, qsizetype length) override {
        if (kind == HtmlSpan::Comment) {
            const QStringView comment = text.mid(start, length);
            if (comment.startsWith(u"<!--"))
                out->push_back({start, start + length, QStringLiteral("<!--"),
                                comment.endsWith(u"-->") ? QStringLiteral("-->") : QString()});
        } else if (kind == HtmlSpan::AttributeName) {
            readingType = text.mid(start, length).compare(u"type", Qt::CaseInsensitive) == 0;
        } else if (kind == HtmlSpan::AttributeValue && readingType) {
            QStringView value = text.mid(start, length);
            if (value.startsWith(u'"') || value.startsWith(u'\''))
                value = value.mid(1, value.size() >= 2 && value.back() == value[0] ? value.size() - 2 : -1);
            type = value.toString();
            readingType = false;
        }
    }
    void tag(const HtmlTag& tag) override {
        const QStringView name = text.mid(tag.nameStart, tag.nameLength);
        const bool script = name.compare(u"script", Qt::CaseInsensitive) == 0;
        const bool style = name.compare(u"style", Qt::CaseInsensitive) == 0;
        if (!tag.endTag && (script || style) && !tag.selfClosing) {
            codeStart = tag.end;
            codeIsCss = style;
            codeIsScript = script && embedded_code::isJavaScriptType(type);
        } else if (tag.endTag && codeStart >= 0 && ((script && codeIsScript) || (style && codeIsCss))) {
            codeBlocks(text, codeStart, tag.start, codeIsCss, *out);
            codeStart = -1;
        } else if (tag.endTag) {
            codeStart = -1;
        }
        type.clear();
        readingType = false;
    }
};

} // namespace

std::vector<Range> of(QStringView text, Language language, const TagMap& map) {
    std::vector<Range> ranges;
    // Only what spans lines can fold: a page has many more elements on one line than over several.
    std::vector<qsizetype> breaks;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (isLineEnd(text[i]))
            breaks.push_back(i);
    const auto spansLines = [&](qsizetype start, qsizetype end) {
        const auto it = std::lower_bound(breaks.begin(), breaks.end(), start);
        return it != breaks.end() && *it < end;
    };
    if (language == Language::Css || language == Language::JavaScript || language == Language::Json) {
        codeBlocks(text, 0, text.size(), language == Language::Css, ranges);
    } else if (language::isMarkup(language)) {
        const std::vector<TagMap::Tag>& tags = map.tags();
        for (const TagMap::Tag& tag : tags) {
            if (tag.endTag() || tag.status() == TagMap::Status::Void)
                continue;
            const qsizetype reach =
                tag.status() == TagMap::Status::Matched ? tags[size_t(tag.partner())].end : tag.endedAt();
            if (!spansLines(tag.start, reach))
                continue;
            const QString name = text.mid(tag.nameStart(), tag.nameLength()).toString();
            if (tag.status() == TagMap::Status::Matched && tag.partner() >= 0) {
                const TagMap::Tag& end = tags[size_t(tag.partner())];
                ranges.push_back({tag.start, end.end, u'<' + name, text.mid(end.start, end.end - end.start).toString()});
            } else if (tag.endedAt() > tag.end) {
                qsizetype end = std::min<qsizetype>(tag.endedAt(), text.size());
                while (end > tag.end && text[end - 1].isSpace())
                    --end;
                ranges.push_back({tag.start, end, u'<' + name, QString()});
            }
        }
        PageReader reader;
        reader.text = text;
        reader.out = &ranges;
        HtmlTokenizer::read(text, reader);
    }
    std::erase_if(ranges, [&](const Range& r) { return !spansLines(r.start, r.end); });
    std::stable_sort(ranges.begin(), ranges.end(),
                     [](const Range& a, const Range& b) { return a.start != b.start ? a.start < b.start : a.end > b.end; });
    return ranges;
}

} // namespace folds
