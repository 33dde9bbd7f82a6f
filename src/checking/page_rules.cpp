#include "page_rules.h"

#include "colouring/html_tokenizer.h"
#include "colouring/references.h"
#include "base/regular_file.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QUrl>
#include <algorithm>
#include <iterator>
#include <string_view>

using namespace Qt::Literals::StringLiterals;

namespace page_rules {
namespace {

struct Attribute {
    QString name; ///< lower case
    QString value;
};

struct Tag {
    qsizetype start = 0;
    qsizetype end = 0;
    QString name; ///< lower case
    bool endTag = false;
    std::vector<Attribute> attributes;
    const QString* value(QStringView name) const {
        for (const Attribute& a : attributes)
            if (a.name == name)
                return &a.value;
        return nullptr;
    }
};

/// The attributes the rules read. The others (class, style and the like, most of a page's) are
/// never copied.
bool isRead(QStringView name) {
    static constexpr std::u16string_view kRead[] = {u"id",   u"name",  u"href",  u"src",  u"alt",   u"aria-label",
                                                    u"for",  u"type",  u"title", u"lang", u"width", u"height",
                                                    u"aria-labelledby"};
    return std::any_of(std::begin(kRead), std::end(kRead),
                       [name](std::u16string_view read) { return name.compare(read, Qt::CaseInsensitive) == 0; });
}

/// The page's tags with the attributes the rules read, and its comments (which are no text).
struct Reader : HtmlTokenizer::Listener {
    QStringView text;
    std::vector<Tag> tags;
    std::vector<std::pair<qsizetype, qsizetype>> comments; // in page order
    Tag current;
    bool readingValue = false;
    void span(HtmlSpan kind, qsizetype start, qsizetype length) override {
        const QStringView piece = text.mid(start, length);
        switch (kind) {
        case HtmlSpan::TagBracket:
            if (piece.startsWith(u'<')) {
                current = Tag{start, 0, {}, piece == u"</", {}};
                readingValue = false;
            }
            break;
        case HtmlSpan::TagName:
            current.name += piece.toString().toLower();
            break;
        case HtmlSpan::AttributeName:
            readingValue = isRead(piece);
            if (readingValue)
                current.attributes.push_back({piece.toString().toLower(), {}});
            break;
        case HtmlSpan::AttributeValue: {
            if (!readingValue || current.attributes.empty())
                break;
            QStringView value = piece;
            if (!value.isEmpty() && (value[0] == u'"' || value[0] == u'\''))
                value = value.mid(1, value.size() > 1 && value.back() == value[0] ? value.size() - 2 : -1);
            QString& into = current.attributes.back().value;
            into += value;
            if (value.contains(u'&'))
                into.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
            break;
        }
        case HtmlSpan::Comment:
            comments.emplace_back(start, start + length);
            break;
        default:
            break;
        }
    }
    void tag(const HtmlTag& t) override {
        current.end = t.end;
        tags.push_back(std::move(current));
        current = Tag();
    }
};

class Lines {
public:
    explicit Lines(QStringView text) {
        starts_.push_back(0);
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            if (text[i] == u'\r' || text[i] == u'\n')
                starts_.push_back(i + 1);
        }
    }
    std::pair<int, int> at(qsizetype position) const {
        const auto it = std::upper_bound(starts_.begin(), starts_.end(), position) - 1;
        return {int(it - starts_.begin()) + 1, int(position - *it) + 1};
    }

private:
    std::vector<qsizetype> starts_;
};

/// @p reference as written (`src="a.png"`, `url(a.png)`) names no @p file.
QString missingFile(const QString& reference, const QString& file) {
    return QStringLiteral("%1: there is no %2.").arg(reference, QDir::toNativeSeparators(QDir::current().relativeFilePath(file)));
}

/// The local files a page or style sheet names beyond href and src (url() and @import in its
/// styles, srcset, poster, object data), checked to exist.
void checkOtherReferences(const QString& text, Language language, const Options& options, const Lines& lines,
                          std::vector<TagProblem>& problems) {
    for (const references::Reference& reference : references::find(text, language)) {
        if (reference.kind == references::Kind::Attribute && (reference.attribute == u"href" || reference.attribute == u"src" ||
                                                             reference.attribute == u"action"))
            continue; // href and src are checked with the tags; an action is the server's
        QString url = text.mid(reference.start, reference.length);
        if (reference.kind == references::Kind::Attribute)
            url.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
        const std::optional<LocalTarget> link = resolveLocal(url, options.pagePath, options.siteRoot);
        if (!link || link->samePage || link->file.isEmpty() || QFileInfo::exists(link->file))
            continue;
        const QString shown = reference.kind == references::Kind::Attribute ? QStringLiteral("%1=\"%2\"").arg(reference.attribute, url)
                              : reference.kind == references::Kind::CssUrl  ? QStringLiteral("url(%1)").arg(url)
                                                                            : QStringLiteral("@import \"%1\"").arg(url);
        const auto [line, column] = lines.at(reference.start);
        problems.push_back({line, column, TagProblem::Kind::Warning, missingFile(shown, link->file), QStringLiteral("missing-file")});
    }
}

/// An <img> of a local image: its width and height, which keep its place while it loads, are
/// there and have the image's proportions.
std::optional<QString> imageSizeProblem(const QString* width, const QString* height, const QString& file) {
    const QSize size = regular_file::imageSize(file);
    if (size.isEmpty())
        return std::nullopt;
    if (!width || !height)
        return QStringLiteral("<img> has no width and height (the image is %1×%2): the page moves when it loads.")
            .arg(size.width()).arg(size.height());
    bool wide = false, high = false;
    const double w = QString(*width).remove(QStringLiteral("px")).trimmed().toDouble(&wide);
    const double h = QString(*height).remove(QStringLiteral("px")).trimmed().toDouble(&high);
    if (!wide || !high || w <= 0 || h <= 0)
        return std::nullopt; // a percentage or a typo: Tidy speaks of values
    // Rounding a scaled size to whole pixels is no fault.
    if (std::abs(h * size.width() - w * size.height()) < std::max(size.width(), size.height()))
        return std::nullopt;
    return QStringLiteral("width=\"%1\" height=\"%2\" do not have the image's proportions (%3×%4).")
        .arg(*width, *height).arg(size.width()).arg(size.height());
}

bool hasText(QStringView text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return !c.isSpace(); });
}
} // namespace

std::vector<TagProblem> merged(std::vector<TagProblem> tidy, const std::vector<TagProblem>& ours) {
    if (ours.empty()) // Tidy's come in page order already
        return tidy;
    static const QHash<QString, QString> kSame{{QStringLiteral("IMG_MISSING_ALT"), QStringLiteral("img-alt")},
                                               {QStringLiteral("ANCHOR_NOT_UNIQUE"), QStringLiteral("duplicate-id")},
                                               {QStringLiteral("LANGUAGE_NOT_IDENTIFIED"), QStringLiteral("html-lang")}};
    const auto saidByUs = [&](const TagProblem& p) {
        const auto same = kSame.constFind(p.key);
        return same != kSame.constEnd() && std::any_of(ours.begin(), ours.end(), [&](const TagProblem& o) {
                   // Tidy places a missing alt at the line's start, ours at the tag: the line is enough.
                   return o.key == *same && (o.key == u"html-lang" || (o.line == p.line && (o.column == p.column || o.key == u"img-alt")));
               });
    };
    tidy.erase(std::remove_if(tidy.begin(), tidy.end(), saidByUs), tidy.end());
    tidy.insert(tidy.end(), ours.begin(), ours.end());
    std::stable_sort(tidy.begin(), tidy.end(), [](const TagProblem& a, const TagProblem& b) {
        return std::pair(a.line, a.column) < std::pair(b.line, b.column);
    });
    return tidy;
}

std::vector<TagProblem> checkStyleSheet(const QString& text, const Options& options) {
    std::vector<TagProblem> problems;
    if (options.links && !options.pagePath.isEmpty())
        checkOtherReferences(text, Language::Css, options, Lines(text), problems);
    return problems;
}

Checked checkPage(const QString& text, const QSet<QString>& ignored, int accessibility, const Options& options) {
    Checked checked;
    // Tidy's reminders to test by hand are noise beside the faults it finds, below the level that
    // asks for everything.
    QSet<QString> quiet = ignored;
    if (accessibility > 0 && accessibility < 3)
        for (const QString& key : handCheckKeys())
            if (!options.handChecks.contains(key))
                quiet.insert(key);
    checked.result = safe_check::check(text, quiet, safe_check::timeLimitMs(text.size()), accessibility);
    // Our own rules read the page only when they have something to look for.
    if (options.accessibility || options.links)
        checked.facts = check(text, options);
    std::vector<TagProblem>& ours = checked.facts.problems;
    ours.erase(std::remove_if(ours.begin(), ours.end(), [&](const TagProblem& p) { return ignored.contains(p.key); }),
               ours.end());
    checked.result.problems = merged(std::move(checked.result.problems), ours);
    ours.clear();
    return checked;
}

std::optional<LocalTarget> resolveLocal(QStringView url, const QString& pagePath, const QString& siteRoot) {
    if (!references::isLocal(url))
        return std::nullopt;
    QString path = url.trimmed().toString();
    LocalTarget target;
    if (const qsizetype hash = path.indexOf(u'#'); hash >= 0) {
        target.fragment = QUrl::fromPercentEncoding(path.mid(hash + 1).toUtf8());
        path.truncate(hash);
    }
    if (const qsizetype query = path.indexOf(u'?'); query >= 0)
        path.truncate(query);
    target.samePage = path.isEmpty();
    if (target.samePage || pagePath.isEmpty())
        return target;
    const QString decoded = QUrl::fromPercentEncoding(path.toUtf8());
    const QString folder = QFileInfo(pagePath).absolutePath();
    target.file = QDir::cleanPath(decoded.startsWith(u'/') ? (siteRoot.isEmpty() ? folder : siteRoot) + decoded
                                                           : folder + u'/' + decoded);
    if (QFileInfo(target.file).isDir())
        target.file += QStringLiteral("/index.html");
    return target;
}

Facts check(const QString& text, const Options& options) {
    Reader reader;
    reader.text = text;
    HtmlTokenizer::read(text, reader);
    const Lines lines(text);
    Facts facts;
    const auto report = [&](qsizetype at, const char* key, const QString& message) {
        const auto [line, column] = lines.at(at);
        facts.problems.push_back({line, column, TagProblem::Kind::Warning, message, QString::fromLatin1(key)});
    };
    const auto attribute = [](const Tag& t, QStringView name) { return t.value(name); };

    // Text between two tags, comments left out.
    const auto textBetween = [&](qsizetype from, qsizetype to) {
        auto comment = std::lower_bound(reader.comments.begin(), reader.comments.end(), std::pair(from, qsizetype(0)));
        for (; comment != reader.comments.end() && comment->second <= to; ++comment) {
            if (hasText(QStringView(text).mid(from, comment->first - from)))
                return true;
            from = comment->second;
        }
        return hasText(QStringView(text).mid(from, to - from));
    };

    QHash<QString, qsizetype> ids;
    QSet<QString> labelled;
    std::vector<std::pair<qsizetype, QString>> fields; // position, id (may be empty)
    std::vector<std::pair<qsizetype, QString>> fragments; // same-page links
    int labels = 0;
    int lastHeading = 0;
    bool sawHtml = false;
    // An open link or button: where it starts, and whether it has something to say yet.
    struct Open {
        qsizetype start = -1;
        QString element;
        bool said = false;
    } open;
    qsizetype previousEnd = 0;
    for (const Tag& t : reader.tags) {
        if (open.start >= 0 && textBetween(previousEnd, t.start))
            open.said = true;
        previousEnd = t.end;
        if (t.endTag) {
            if (t.name == "label"_L1)
                labels = std::max(0, labels - 1);
            if (open.start >= 0 && t.name == open.element) {
                if (!open.said && options.accessibility)
                    report(open.start, open.element == "a"_L1 ? "link-text" : "button-text",
                           open.element == "a"_L1 ? QStringLiteral("This link has no text a screen reader could say.")
                                                : QStringLiteral("This button has no text a screen reader could say."));
                open = Open();
            }
            continue;
        }
        if (const QString* id = attribute(t, u"id"); id && !id->isEmpty()) {
            if (const auto it = ids.constFind(*id); it != ids.constEnd()) {
                const auto [line, column] = lines.at(*it);
                if (options.accessibility)
                    report(t.start, "duplicate-id", QStringLiteral("The id \"%1\" is already used at line %2, column %3.")
                                                        .arg(*id).arg(line).arg(column));
            } else {
                ids.insert(*id, t.start);
            }
            facts.anchors.insert(*id);
        }
        if (t.name == "a"_L1)
            if (const QString* name = attribute(t, u"name"))
                facts.anchors.insert(*name);
        const bool labelledByAria = attribute(t, u"aria-label") || attribute(t, u"aria-labelledby");
        if (t.name == "html"_L1) {
            sawHtml = true;
            const QString* lang = attribute(t, u"lang");
            if (options.accessibility && (!lang || lang->trimmed().isEmpty()))
                report(t.start, "html-lang", QStringLiteral("The page does not say its language: give <html> a lang attribute."));
        } else if (t.name == "img"_L1) {
            if (options.accessibility && !attribute(t, u"alt") && !labelledByAria)
                report(t.start, "img-alt", QStringLiteral("<img> has no alt text (alt=\"\" for an image that only decorates)."));
            if (open.start >= 0 && (attribute(t, u"alt") ? !attribute(t, u"alt")->trimmed().isEmpty() : labelledByAria))
                open.said = true;
        } else if (t.name == "label"_L1) {
            ++labels;
            if (const QString* target = attribute(t, u"for"))
                labelled.insert(*target);
        } else if (t.name == "input"_L1 || t.name == "select"_L1 || t.name == "textarea"_L1) {
            const QString type = attribute(t, u"type") ? attribute(t, u"type")->toLower() : QString();
            const bool needsLabel = t.name != "input"_L1 || !(type == "hidden"_L1 || type == "submit"_L1 || type == "reset"_L1 ||
                                                          type == "button"_L1 || type == "image"_L1);
            if (needsLabel && labels == 0 && !labelledByAria && !attribute(t, u"title"))
                fields.emplace_back(t.start, attribute(t, u"id") ? *attribute(t, u"id") : QString());
        } else if (t.name.size() == 2 && t.name[0] == u'h' && t.name[1] >= u'1' && t.name[1] <= u'6') {
            const int level = t.name[1].unicode() - u'0';
            if (options.accessibility && lastHeading > 0 && level > lastHeading + 1)
                report(t.start, "heading-order", QStringLiteral("<h%1> follows <h%2>: a heading level is skipped.")
                                                     .arg(level).arg(lastHeading));
            lastHeading = level;
        } else if ((t.name == "a"_L1 && attribute(t, u"href")) || t.name == "button"_L1) {
            open = Open{t.start, t.name, labelledByAria || (attribute(t, u"title") && t.name == "button"_L1)};
        }
        if (!options.links)
            continue;
        for (const char16_t* name : {u"href", u"src"}) {
            const QString* url = attribute(t, QStringView(name));
            if (!url || url->trimmed().isEmpty() || !references::isLocal(*url) || t.name == "base"_L1)
                continue;
            const std::optional<LocalTarget> link = resolveLocal(*url, options.pagePath, options.siteRoot);
            if (link->samePage) {
                if (!link->fragment.isEmpty() && link->fragment != u"top")
                    fragments.emplace_back(t.start, link->fragment);
                continue;
            }
            if (link->file.isEmpty())
                continue;
            const QFileInfo target(link->file);
            if (!target.exists()) {
                report(t.start, "missing-file", missingFile(QStringLiteral("%1=\"%2\"").arg(QString::fromUtf16(name), *url), target.filePath()));
                continue;
            }
            if (t.name == "img"_L1 && name == std::u16string_view(u"src"))
                if (const std::optional<QString> problem = imageSizeProblem(attribute(t, u"width"), attribute(t, u"height"),
                                                                            target.absoluteFilePath()))
                    report(t.start, "image-size", *problem);
            const auto [line, column] = lines.at(t.start);
            facts.links.push_back({target.absoluteFilePath(), link->fragment, line, column});
        }
    }
    if (options.accessibility) {
        for (const auto& [at, id] : fields)
            if (id.isEmpty() || !labelled.contains(id))
                report(at, "field-label", QStringLiteral("This form field has no label (a <label for> its id, or one around it)."));
        // A whole page written without its <html> tag says no language either; a fragment does not have to.
        const bool wholePage = std::any_of(reader.tags.begin(), reader.tags.end(), [](const Tag& t) {
            return t.name == "head"_L1 || t.name == "body"_L1 || t.name == "title"_L1;
        });
        if (!sawHtml && wholePage)
            report(0, "html-lang", QStringLiteral("The page does not say its language: give <html> a lang attribute."));
    }
    if (options.links && !options.pagePath.isEmpty())
        checkOtherReferences(text, Language::Html, options, lines, facts.problems);
    for (const auto& [at, fragment] : fragments)
        if (!facts.anchors.contains(fragment))
            report(at, "missing-anchor", QStringLiteral("#%1 names no id in this page.").arg(fragment));
    std::stable_sort(facts.problems.begin(), facts.problems.end(), [](const TagProblem& a, const TagProblem& b) {
        return std::pair(a.line, a.column) < std::pair(b.line, b.column);
    });
    return facts;
}

} // namespace page_rules
