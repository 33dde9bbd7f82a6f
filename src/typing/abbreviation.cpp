#include "abbreviation.h"

#include <QSet>
#include <QStringList>
#include <utility>
#include <vector>

namespace abbreviation {
namespace {

struct Node {
    QString name;
    bool group = false;
    QString id;
    QStringList classes;
    std::vector<std::pair<QString, QString>> attributes;
    QString text;
    int repeat = 1;
    std::vector<Node> children;
    bool isTextOnly() const {
        return !group && name.isEmpty() && id.isEmpty() && classes.isEmpty() && attributes.empty() && !text.isNull();
    }
};

class Parser {
public:
    explicit Parser(QStringView s) : s_(s) {}

    std::optional<std::vector<Node>> parse() {
        auto nodes = sequence();
        if (!nodes || i_ != s_.size())
            return std::nullopt;
        return nodes;
    }

private:
    bool at(QChar c) const { return i_ < s_.size() && s_[i_] == c; }

    static bool isNameCharacter(QChar c) {
        return c.isLetterOrNumber() || c == u'-' || c == u'_' || c == u':' || c == u'$' || c == u'@' || c == u'!';
    }

    QString name() {
        const qsizetype from = i_;
        while (i_ < s_.size() && isNameCharacter(s_[i_]))
            ++i_;
        return s_.mid(from, i_ - from).toString();
    }

    std::optional<std::vector<Node>> sequence() {
        std::vector<Node> top;
        std::vector<std::vector<Node>*> levels{&top};
        while (true) {
            auto node = item();
            if (!node)
                return std::nullopt;
            levels.back()->push_back(std::move(*node));
            if (at(u'>')) {
                ++i_;
                levels.push_back(&levels.back()->back().children);
            } else if (at(u'+')) {
                ++i_;
            } else if (at(u'^')) {
                while (at(u'^')) {
                    ++i_;
                    if (levels.size() > 1)
                        levels.pop_back();
                }
            } else {
                return top;
            }
        }
    }

    std::optional<Node> item() {
        Node node;
        if (at(u'(')) {
            ++i_;
            auto inside = sequence();
            if (!inside || !at(u')'))
                return std::nullopt;
            ++i_;
            node.group = true;
            node.children = std::move(*inside);
        } else {
            node.name = name();
            bool any = !node.name.isEmpty();
            while (i_ < s_.size()) {
                const QChar c = s_[i_];
                if (c == u'#' || c == u'.') {
                    ++i_;
                    const QString value = name();
                    if (value.isEmpty())
                        return std::nullopt;
                    if (c == u'#')
                        node.id = value;
                    else
                        node.classes << value;
                } else if (c == u'[') {
                    ++i_;
                    if (!attributes(node))
                        return std::nullopt;
                } else if (c == u'{') {
                    const qsizetype close = s_.indexOf(u'}', i_);
                    if (close < 0)
                        return std::nullopt;
                    node.text = s_.mid(i_ + 1, close - i_ - 1).toString();
                    if (node.text.isNull())
                        node.text = QStringLiteral("");
                    i_ = close + 1;
                } else {
                    break;
                }
                any = true;
            }
            if (!any)
                return std::nullopt;
        }
        if (at(u'*')) {
            ++i_;
            const qsizetype from = i_;
            while (i_ < s_.size() && s_[i_].isDigit())
                ++i_;
            bool ok = false;
            node.repeat = s_.mid(from, i_ - from).toInt(&ok);
            if (!ok || node.repeat < 1 || node.repeat > 1000)
                return std::nullopt;
        }
        return node;
    }

    bool attributes(Node& node) {
        while (true) {
            while (at(u' '))
                ++i_;
            if (at(u']')) {
                ++i_;
                return true;
            }
            const qsizetype from = i_;
            while (i_ < s_.size() && !s_[i_].isSpace() && s_[i_] != u'=' && s_[i_] != u']')
                ++i_;
            const QString attribute = s_.mid(from, i_ - from).toString();
            if (attribute.isEmpty())
                return false;
            QString value = QStringLiteral("");
            if (at(u'=')) {
                ++i_;
                if (at(u'"') || at(u'\'')) {
                    const QChar quote = s_[i_];
                    const qsizetype close = s_.indexOf(quote, i_ + 1);
                    if (close < 0)
                        return false;
                    value = s_.mid(i_ + 1, close - i_ - 1).toString();
                    i_ = close + 1;
                } else {
                    const qsizetype start = i_;
                    while (i_ < s_.size() && !s_[i_].isSpace() && s_[i_] != u']')
                        ++i_;
                    value = s_.mid(start, i_ - start).toString();
                }
            }
            node.attributes.emplace_back(attribute, value);
            if (i_ >= s_.size())
                return false;
        }
    }

    QStringView s_;
    qsizetype i_ = 0;
};

const QSet<QString> kInline{"a",      "abbr",   "b",    "bdi",   "bdo",   "br",     "button", "cite",  "code",
                            "data",   "dfn",    "em",   "i",     "img",   "input",  "kbd",    "label", "mark",
                            "q",      "s",      "samp", "select", "small", "span",  "strong", "sub",   "sup",
                            "textarea", "time", "u",    "var",   "wbr",   "del",    "ins",    "output", "meter",
                            "progress", "picture", "audio", "video", "iframe", "embed", "object", "canvas", "svg"};
const QSet<QString> kVoid{"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "source",
                          "track", "wbr"};

/// The attributes an element comes with, to be filled in.
std::vector<std::pair<QString, QString>> defaultAttributes(const QString& name) {
    if (name == u"a")
        return {{"href", ""}};
    if (name == u"img")
        return {{"src", ""}, {"alt", ""}};
    if (name == u"link")
        return {{"rel", "stylesheet"}, {"href", ""}};
    if (name == u"input")
        return {{"type", "text"}};
    if (name == u"form")
        return {{"action", ""}};
    if (name == u"label")
        return {{"for", ""}};
    if (name == u"iframe")
        return {{"src", ""}};
    if (name == u"area")
        return {{"shape", ""}, {"coords", ""}, {"href", ""}, {"alt", ""}};
    if (name == u"meta")
        return {{"name", ""}, {"content", ""}};
    return {};
}

QString implicitName(const QString& parent) {
    if (parent == u"ul" || parent == u"ol" || parent == u"menu")
        return QStringLiteral("li");
    if (parent == u"table" || parent == u"tbody" || parent == u"thead" || parent == u"tfoot")
        return QStringLiteral("tr");
    if (parent == u"tr")
        return QStringLiteral("td");
    if (parent == u"select" || parent == u"optgroup" || parent == u"datalist")
        return QStringLiteral("option");
    if (parent == u"dl")
        return QStringLiteral("dt");
    if (kInline.contains(parent))
        return QStringLiteral("span");
    return QStringLiteral("div");
}

/// `$` runs as the number @p index, padded to the run's length.
QString numbered(QString s, int index) {
    if (!s.contains(u'$'))
        return s;
    QString out;
    for (qsizetype i = 0; i < s.size();) {
        if (s[i] != u'$') {
            out += s[i++];
            continue;
        }
        qsizetype run = 0;
        while (i < s.size() && s[i] == u'$')
            ++i, ++run;
        out += QStringLiteral("%1").arg(index, int(run), 10, QChar(u'0'));
    }
    return out;
}

/// An element (or text) as written out.
struct Element {
    QString name; ///< empty for text
    std::vector<std::pair<QString, QString>> attributes;
    QString text;
    std::vector<Element> children;
};

void build(const std::vector<Node>& nodes, const QString& parent, int index, std::vector<Element>& out) {
    for (const Node& node : nodes) {
        for (int k = 1; k <= node.repeat; ++k) {
            const int n = node.repeat > 1 ? k : index;
            if (node.group) {
                build(node.children, parent, n, out);
                continue;
            }
            Element e;
            e.text = numbered(node.text, n);
            if (node.isTextOnly()) {
                out.push_back(std::move(e));
                continue;
            }
            e.name = node.name.isEmpty() ? implicitName(parent) : numbered(node.name, n);
            e.attributes = defaultAttributes(e.name);
            std::vector<std::pair<QString, QString>> extra;
            if (!node.id.isEmpty())
                extra.emplace_back(QStringLiteral("id"), numbered(node.id, n));
            if (!node.classes.isEmpty())
                extra.emplace_back(QStringLiteral("class"), numbered(node.classes.join(u' '), n));
            for (const auto& [name, value] : node.attributes)
                extra.emplace_back(numbered(name, n), numbered(value, n));
            for (auto& [name, value] : extra) {
                auto it = std::find_if(e.attributes.begin(), e.attributes.end(),
                                       [&](const auto& a) { return a.first == name; });
                if (it != e.attributes.end())
                    it->second = value;
                else
                    e.attributes.emplace_back(name, value);
            }
            build(node.children, e.name, n, e.children);
            out.push_back(std::move(e));
        }
    }
}

bool isInline(const Element& e) {
    return e.name.isEmpty() || kInline.contains(e.name);
}

QStringList writeAll(const std::vector<Element>& elements);

QStringList write(const Element& e) {
    if (e.name.isEmpty())
        return {e.text};
    QString open = u'<' + e.name;
    for (const auto& [name, value] : e.attributes)
        open += u' ' + name + QStringLiteral("=\"") + value + u'"';
    open += u'>';
    if (kVoid.contains(e.name))
        return {open};
    const QString close = QStringLiteral("</") + e.name + u'>';
    const QStringList inside = writeAll(e.children);
    const bool inlineChildren =
        std::all_of(e.children.begin(), e.children.end(), [](const Element& c) { return isInline(c); });
    if (e.children.empty() || (inside.size() == 1 && inlineChildren))
        return {open + e.text + inside.value(0) + close};
    QStringList lines{open};
    if (!e.text.isEmpty())
        lines << u'\t' + e.text;
    for (const QString& line : inside)
        lines << u'\t' + line;
    lines << close;
    return lines;
}

QStringList writeAll(const std::vector<Element>& elements) {
    std::vector<QStringList> parts;
    bool oneLine = true;
    for (const Element& e : elements) {
        parts.push_back(write(e));
        oneLine = oneLine && isInline(e) && parts.back().size() == 1;
    }
    QStringList lines;
    if (oneLine) {
        QString line;
        for (const QStringList& p : parts)
            line += p.value(0);
        if (!elements.empty())
            lines << line;
        return lines;
    }
    for (const QStringList& p : parts)
        lines += p;
    return lines;
}

const char* const kPage = "<!DOCTYPE html>\n"
                          "<html lang=\"en\">\n"
                          "<head>\n"
                          "\t<meta charset=\"UTF-8\">\n"
                          "\t<meta name=\"viewport\" content=\"width=device-width, initial-scale=1.0\">\n"
                          "\t<title></title>\n"
                          "</head>\n"
                          "<body>\n"
                          "\t\n"
                          "</body>\n"
                          "</html>";
} // namespace

qsizetype startIn(QStringView line) {
    int depth = 0;
    qsizetype i = line.size();
    while (i > 0) {
        const QChar c = line[i - 1];
        if (c == u']' || c == u'}' || c == u')')
            ++depth;
        else if ((c == u'[' || c == u'{' || c == u'(') && depth > 0)
            --depth;
        else if (depth == 0 && (c.isSpace() || c == u';' || c == u'"' || c == u'\''))
            break;
        --i;
    }
    // Inside a tag there is none; after a tag that stands right before it, it starts there: `<p>ul>li`.
    const qsizetype tag = line.lastIndexOf(u'<');
    if (tag >= 0 && tag > line.lastIndexOf(u'>'))
        return -1;
    if (tag >= i) {
        const qsizetype end = line.indexOf(u'>', tag);
        if (end < 0)
            return -1;
        i = end + 1;
    }
    return i < line.size() ? i : -1;
}

std::optional<Expansion> expand(QStringView abbreviation, QStringView indent) {
    QString text;
    if (abbreviation == u"!") {
        text = QString::fromLatin1(kPage);
    } else {
        const auto nodes = Parser(abbreviation).parse();
        if (!nodes)
            return std::nullopt;
        std::vector<Element> elements;
        build(*nodes, QString(), 1, elements);
        text = writeAll(elements).join(u'\n');
    }
    // The first empty place: an empty value, an empty element, or the page's empty body line.
    qsizetype caret = text.size();
    for (const QStringView mark : {QStringView(u"\"\""), QStringView(u"\n\t\n")}) {
        const qsizetype at = text.indexOf(mark);
        if (at >= 0)
            caret = std::min(caret, at + (mark == u"\n\t\n" ? 2 : 1));
    }
    for (qsizetype at = text.indexOf(u"></"); at >= 0 && at < caret; at = text.indexOf(u"></", at + 1)) {
        const qsizetype open = text.lastIndexOf(u'<', at);
        if (text[open + 1] != u'/') { // an element with nothing in it, not two end tags
            caret = at + 1;
            break;
        }
    }
    // CR LF line ends and the indent, keeping the caret on its character.
    const QString lineStart = QStringLiteral("\r\n") + indent.toString();
    QString out;
    qsizetype outCaret = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i == caret)
            outCaret = out.size();
        if (i == text.size())
            break;
        if (text[i] == u'\n')
            out += lineStart;
        else
            out += text[i];
    }
    return Expansion{out, outCaret};
}

} // namespace abbreviation
