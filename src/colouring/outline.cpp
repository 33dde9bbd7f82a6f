#include "outline.h"

#include "html_data.h"
#include "html_tokenizer.h"

#include <QHash>
#include <QRegularExpression>
#include <algorithm>
#include <iterator>
#include <string_view>

namespace outline {
namespace {

constexpr qsizetype kLongestLabel = 80;

/// A label as a reader sees it: tags left out, the common references read, spaces collapsed.
QString readable(QStringView html) {
    QString text;
    text.reserve(std::min<qsizetype>(html.size(), 4 * kLongestLabel));
    bool inTag = false;
    for (const QChar c : html) {
        if (c == u'<')
            inTag = true;
        else if (c == u'>' && inTag)
            inTag = false;
        else if (!inTag)
            text += c;
        if (text.size() > 4 * kLongestLabel)
            break;
    }
    static const QRegularExpression numeric(QStringLiteral("&#(x?)([0-9a-fA-F]+);"));
    for (auto match = numeric.match(text); match.hasMatch(); match = numeric.match(text)) {
        const uint code = match.captured(2).toUInt(nullptr, match.captured(1).isEmpty() ? 10 : 16);
        text.replace(match.capturedStart(), match.capturedLength(),
                     code > 0 && code <= 0x10FFFF ? QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1) : QString());
    }
    static const QHash<QString, QString> kNamed = [] {
        QHash<QString, QString> named;
        for (const HtmlData::CharacterReference& reference : HtmlData::instance().characterReferences())
            if (reference.name.endsWith(u';'))
                named.insert(reference.name, reference.characters);
        return named;
    }();
    static const QRegularExpression named(QStringLiteral("&[A-Za-z][A-Za-z0-9]*;"));
    for (qsizetype from = 0;;) {
        const QRegularExpressionMatch match = named.match(text, from);
        if (!match.hasMatch())
            break;
        const auto found = kNamed.constFind(match.captured().mid(1));
        const QString with = found == kNamed.constEnd() ? match.captured() : *found;
        text.replace(match.capturedStart(), match.capturedLength(), with);
        from = match.capturedStart() + with.size();
    }
    text = text.simplified();
    if (text.size() > kLongestLabel)
        text = text.left(kLongestLabel - 1) + u'…';
    return text;
}

bool isLandmark(QStringView name) {
    static constexpr std::u16string_view kLandmarks[] = {u"header", u"nav",   u"main", u"section", u"article",
                                                         u"aside",  u"footer", u"form", u"table"};
    return std::any_of(std::begin(kLandmarks), std::end(kLandmarks), [name](std::u16string_view l) { return name == l; });
}

struct PageReader : HtmlTokenizer::Listener {
    QStringView text;
    Kind kind = Kind::Headings;
    std::vector<Entry> entries;
    // Headings: the one open, where its text starts.
    qsizetype headingText = -1;
    // Landmarks: the id of the tag being read, and the landmarks open.
    bool readingId = false;
    QString id;
    std::vector<QString> open;

    static int headingLevel(QStringView name) {
        return name.size() == 2 && (name[0] == u'h' || name[0] == u'H') && name[1] >= u'1' && name[1] <= u'6'
                   ? name[1].unicode() - u'0'
                   : 0;
    }
    void closeHeading(qsizetype end) {
        if (headingText < 0)
            return;
        entries.back().label = readable(text.mid(headingText, end - headingText));
        if (entries.back().label.isEmpty())
            entries.back().label = QStringLiteral("(h%1)").arg(entries.back().level);
        headingText = -1;
    }
    void span(HtmlSpan kind, qsizetype start, qsizetype length) override {
        if (this->kind != Kind::Landmarks)
            return;
        if (kind == HtmlSpan::AttributeName) {
            readingId = text.mid(start, length).compare(u"id", Qt::CaseInsensitive) == 0;
        } else if (kind == HtmlSpan::AttributeValue && readingId) {
            QStringView value = text.mid(start, length);
            if (value.startsWith(u'"') || value.startsWith(u'\''))
                value = value.mid(1, value.size() >= 2 && value.back() == value[0] ? value.size() - 2 : -1);
            id = value.trimmed().toString();
            readingId = false;
        } else if (kind != HtmlSpan::AttributeValue) {
            readingId = false;
        }
    }
    void tag(const HtmlTag& tag) override {
        const QString name = text.mid(tag.nameStart, tag.nameLength).toString().toLower();
        if (kind == Kind::Headings) {
            const int level = headingLevel(name);
            if (!level)
                return;
            if (tag.endTag) {
                closeHeading(tag.start);
            } else {
                closeHeading(tag.start); // a heading left open ends where the next begins
                entries.push_back({level, {}, tag.start});
                headingText = tag.end;
            }
            return;
        }
        const QString foundId = std::exchange(id, QString());
        if (tag.endTag) {
            const auto it = std::find(open.rbegin(), open.rend(), name);
            if (it != open.rend())
                open.erase(std::next(it).base(), open.end());
            return;
        }
        const bool landmark = isLandmark(name);
        if (!landmark && foundId.isEmpty())
            return;
        entries.push_back({int(open.size()) + 1, foundId.isEmpty() ? name : name + u'#' + foundId, tag.start});
        // Only landmarks nest: other elements may end without an end tag.
        const HtmlData::Element* element = HtmlData::instance().element(name);
        if (landmark && !tag.selfClosing && !(element && element->isVoid))
            open.push_back(name);
    }
};

std::vector<Entry> styleSheet(QStringView text) {
    std::vector<Entry> entries;
    int depth = 0;
    qsizetype preludeStart = 0; // where the text before the next `{` starts
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text[i];
        if (c == u'/' && i + 1 < size && text[i + 1] == u'*') {
            const qsizetype commentStart = i;
            const qsizetype end = text.indexOf(u"*/", i + 2);
            i = end < 0 ? size : end + 1;
            if (text.mid(preludeStart, commentStart - preludeStart).trimmed().isEmpty())
                preludeStart = i + 1; // a comment before a rule is not its name
        } else if (c == u'"' || c == u'\'') {
            qsizetype end = i + 1;
            while (end < size && text[end] != c && text[end] != u'\n')
                end += text[end] == u'\\' ? 2 : 1;
            i = std::min(end, size);
        } else if (c == u'{') {
            const QStringView prelude = text.mid(preludeStart, i - preludeStart);
            const QString label = prelude.toString().simplified();
            qsizetype lead = 0;
            while (lead < prelude.size() && prelude[lead].isSpace())
                ++lead;
            if (!label.isEmpty())
                entries.push_back({depth + 1, label.size() > kLongestLabel ? label.left(kLongestLabel - 1) + u'…' : label,
                                   preludeStart + lead});
            ++depth;
            preludeStart = i + 1;
        } else if (c == u'}') {
            depth = std::max(0, depth - 1);
            preludeStart = i + 1;
        } else if (c == u';') {
            preludeStart = i + 1; // after a declaration or an @import
        }
    }
    return entries;
}

} // namespace

std::vector<Entry> of(QStringView text, Language language, Kind kind) {
    if (language == Language::Css)
        return styleSheet(text);
    if (!language::isMarkup(language))
        return {};
    PageReader reader;
    reader.text = text;
    reader.kind = kind;
    HtmlTokenizer::read(text, reader);
    reader.closeHeading(text.size());
    return std::move(reader.entries);
}

} // namespace outline
