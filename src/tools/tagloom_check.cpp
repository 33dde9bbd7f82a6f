// tagloom-check: checks HTML pages as the editor's Check Tags command does, with HTML Tidy and
// the editor's own rules, and reports in a form people or CI systems read. Files and folders
// (searched recursively), checked in parallel on all cores; with --links, local links are
// followed across the site. Exits 1 when a page has an error or cannot be read, 2 when a page is
// beyond what can be checked (nested too deep, or too slow for Tidy) or the command is wrong,
// 0 otherwise.
#include "base/folder_walk.h"
#include "checking/check_config.h"
#include "checking/page_rules.h"
#include "checking/safe_check.h"
#include "checking/spelling.h"
#include "colouring/language.h"
#include "document/document_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QThreadPool>
#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>

namespace {
const char* const kUsage =
    "usage: tagloom-check [OPTION]... FILE|FOLDER...\n"
    "Checks HTML pages with HTML Tidy and Tagloom's own rules. Folders are searched recursively.\n"
    "  --format text|json|sarif|junit   what to print (text: FILE:LINE:COLUMN: error|warning: message)\n"
    "  --accessibility N                accessibility checks: 0 none (default), 1-3 Tidy's priority\n"
    "                                   levels, each with alt text, labels, lang, link and button text,\n"
    "                                   heading order and duplicate ids\n"
    "  --links                          local links: missing files and #anchors across the site,\n"
    "                                   url() and @import in styles and style sheets (*.css),\n"
    "                                   images without their width and height\n"
    "  --orphans                        with --links: pages no other page links to\n"
    "  --spelling                       words a reader sees that Hunspell's dictionaries do not know,\n"
    "                                   in each part's lang; words in .tagloom-words are accepted\n"
    "  --spelling-language LANG         the language of text with no lang (default en)\n"
    "  --ignore RULE                    leave out a rule (a Tidy message key or a rule name); repeatable\n"
    "  --include GLOB, --exclude GLOB   which files of a folder to check (default *.html *.htm *.xhtml,\n"
    "                                   and *.css with --links)\n"
    "A file .tagloom-check in a folder given (or the current folder) sets the same options, one\n"
    "per line: accessibility = 2, links = true, orphans = true, spelling = true, spelling-language = en,\n"
    "ignore = RULE RULE, include = GLOB, exclude = GLOB. Exits 1 when a page has an error or cannot be read, 2 when a page cannot be\n"
    "checked or the command is wrong, else 0.\n";

struct Settings {
    QString format = QStringLiteral("text");
    int accessibility = 0;
    bool links = false;
    bool orphans = false;
    QSet<QString> ignored;
    QSet<QString> handChecks;
    QStringList include;
    QStringList exclude;
    bool spelling = false;
    QString spellingLanguage = QStringLiteral("en");
    Speller* speller = nullptr;
};

struct Problem {
    int line = 0;
    int column = 0;
    bool error = false;
    QString rule;
    QString message;
    QString word;            ///< a misspelt word
    QStringList suggestions; ///< and what it may be
};

struct PageResult {
    QString path;     ///< as named (relative to the current folder for pages found in a folder)
    QString absolute;
    QString failure;  ///< why it could not be read or checked
    bool unreadable = false;
    std::vector<Problem> problems;
    QSet<QString> anchors;
    std::vector<page_rules::Link> links;
};

bool needsEscape(char16_t u) {
    return u < 0x20 || (u >= 0x7F && u < 0xA0);
}

/// Appends text for a terminal or a line-based reader: one problem a line, nothing that drives
/// a terminal. Control characters are written \xNN. Built in place: a site can have millions of
/// these lines.
void appendTextSafe(QByteArray& out, QStringView text) {
    if (std::any_of(text.begin(), text.end(), [](QChar c) { return needsEscape(c.unicode()); })) {
        QString safe;
        for (const QChar c : text)
            safe += needsEscape(c.unicode()) ? QString::asprintf("\\x%02X", unsigned(c.unicode())) : QString(c);
        out += safe.toUtf8();
        return;
    }
    QStringEncoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const qsizetype at = out.size();
    out.resize(at + utf8.requiredSpace(text.size()));
    out.truncate(utf8.appendToBuffer(out.data() + at, text) - out.constData());
}

QByteArray textSafe(QStringView text) {
    QByteArray out;
    appendTextSafe(out, text);
    return out;
}

/// Text for XML 1.0: the characters it cannot hold (controls, lone surrogates, U+FFFE and
/// U+FFFF) are written \uXXXX, then the markup characters are escaped.
QString xmlEscaped(QStringView text) {
    QString safe;
    safe.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        const bool pair = QChar::isHighSurrogate(u) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode());
        if (pair) {
            safe += text.mid(i++, 2);
        } else if ((u < 0x20 && u != 0x9 && u != 0xA && u != 0xD) || QChar::isSurrogate(u) || u == 0xFFFE || u == 0xFFFF) {
            safe += QString::asprintf("\\u%04X", unsigned(u));
        } else {
            safe += QChar(u);
        }
    }
    return safe.toHtmlEscaped().replace(u'"', QStringLiteral("&quot;"));
}

void warn(const QString& text) {
    const QByteArray line = "tagloom-check: " + textSafe(text) + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
}

/// Reads a site's settings into @p settings: false when there are none. A settings file that
/// cannot be read, or a bad line in it, is an error: @p bad is set and each is told.
bool readConfig(const QString& folder, Settings& settings, bool& bad) {
    const CheckConfig config = CheckConfig::readIn(folder);
    if (config.path.isEmpty())
        return false;
    for (const QString& error : config.errors)
        warn(error);
    bad = bad || !config.errors.isEmpty();
    if (config.accessibility >= 0)
        settings.accessibility = config.accessibility;
    settings.links = settings.links || config.links;
    settings.orphans = settings.orphans || config.orphans;
    settings.spelling = settings.spelling || config.spelling;
    if (!config.spellingLanguage.isEmpty())
        settings.spellingLanguage = config.spellingLanguage;
    settings.ignored.unite(config.ignored);
    settings.handChecks.unite(config.handChecks);
    settings.include += config.include;
    settings.exclude += config.exclude;
    return true;
}

/// File name globs (or, with a '/', globs of the path under the folder given), made once for all
/// the files of a site.
class Globs {
public:
    explicit Globs(const QStringList& globs) {
        for (const QString& glob : globs) {
            const QString pattern = QRegularExpression::wildcardToRegularExpression(glob, QRegularExpression::UnanchoredWildcardConversion);
            patterns_.push_back({QRegularExpression(QRegularExpression::anchoredPattern(pattern)), glob.contains(u'/')});
        }
    }
    bool match(const QString& path) const {
        const QString name = QFileInfo(path).fileName();
        return std::any_of(patterns_.begin(), patterns_.end(),
                           [&](const auto& p) { return p.first.match(p.second ? path : name).hasMatch(); });
    }

private:
    std::vector<std::pair<QRegularExpression, bool>> patterns_; // and whether it matches the path
};

/// The words of @p page its dictionaries do not know, in line order among @p problems.
void spellPage(const QString& page, const Settings& settings, std::vector<Problem>& problems) {
    std::vector<qsizetype> lineStarts{0};
    for (qsizetype i = 0; i < page.size(); ++i)
        if (page[i] == u'\n')
            lineStarts.push_back(i + 1);
    std::vector<Problem> found;
    for (const spelling::Word& word : spelling::wordsOf(page, {settings.spellingLanguage}))
        if (!settings.speller->isCorrect(word.text, word.language)) {
            const auto line = std::upper_bound(lineStarts.begin(), lineStarts.end(), word.start) - 1;
            const QStringList maybe = settings.speller->suggestions(word.text, word.language);
            found.push_back({int(line - lineStarts.begin()) + 1, int(word.start - *line) + 1, false, QStringLiteral("spelling"),
                             maybe.isEmpty() ? QStringLiteral("\"%1\" is not in the %2 dictionary.").arg(word.text, word.language)
                                             : QStringLiteral("\"%1\" is not in the %2 dictionary; perhaps: %3.")
                                                   .arg(word.text, word.language, maybe.join(QStringLiteral(", "))),
                             word.text, maybe});
        }
    if (found.empty())
        return;
    problems.insert(problems.end(), found.begin(), found.end());
    std::stable_sort(problems.begin(), problems.end(),
                     [](const Problem& a, const Problem& b) { return a.line != b.line ? a.line < b.line : a.column < b.column; });
}

/// @p siteRoot: where the page's root-relative links start.
PageResult checkPage(const QString& path, const QString& siteRoot, const Settings& settings) {
    PageResult result;
    result.path = path;
    result.absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const ReadResult file = document_file::read(path);
    if (file.error) {
        result.failure = file.error.description;
        result.unreadable = true;
        return result;
    }
    const page_rules::Options options{settings.accessibility > 0, settings.links, result.absolute, siteRoot, settings.handChecks};
    if (language::fromName(path) == Language::Css) {
        // A style sheet: no Tidy, only what it names.
        for (const TagProblem& p : page_rules::checkStyleSheet(file.text, options))
            if (!settings.ignored.contains(p.key))
                result.problems.push_back({p.line, p.column, false, p.key, p.message, {}, {}});
        return result;
    }
    page_rules::Checked checked = page_rules::checkPage(file.text, settings.ignored, settings.accessibility, options);
    result.failure = checked.result.failure;
    for (const TagProblem& p : checked.result.problems)
        result.problems.push_back({p.line, p.column, p.kind == TagProblem::Kind::Error, p.key, p.message, {}, {}});
    if (settings.spelling && !settings.ignored.contains(QStringLiteral("spelling")))
        spellPage(file.text, settings, result.problems);
    if (settings.links) {
        result.anchors = std::move(checked.facts.anchors);
        result.links = std::move(checked.facts.links);
    }
    return result;
}

bool isPage(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == u"html" || suffix == u"htm" || suffix == u"xhtml";
}

/// What the checks across a site keep of a page: never the page, never its problems.
struct SitePage {
    QString path;
    QString absolute;
    bool unreadable = false;
    /// The page's anchors as hashes, sorted: a big site keeps a few bytes an anchor, and a
    /// small process keeps memory low over tens of thousands of pages.
    std::vector<size_t> anchors;
    std::vector<page_rules::Link> links;
};

std::vector<size_t> hashed(const QSet<QString>& anchors) {
    std::vector<size_t> out;
    out.reserve(size_t(anchors.size()));
    for (const QString& a : anchors)
        out.push_back(qHash(a, 0));
    std::sort(out.begin(), out.end());
    return out;
}

/// Links across the site: anchors in other pages, and pages nothing links to. Gives, for each
/// page with any, the problems found.
std::vector<std::pair<size_t, std::vector<Problem>>> checkSite(const std::vector<SitePage>& pages, const Settings& settings) {
    QHash<QString, size_t> byPath;
    for (size_t i = 0; i < pages.size(); ++i)
        byPath.insert(pages[i].absolute, i);
    QHash<QString, std::vector<size_t>> outside; // anchors of linked pages that were not checked
    QSet<QString> linked;
    std::vector<std::pair<size_t, std::vector<Problem>>> found;
    for (size_t i = 0; i < pages.size(); ++i) {
        const SitePage& page = pages[i];
        std::vector<Problem> problems;
        for (const page_rules::Link& link : page.links) {
            if (link.target != page.absolute)
                linked.insert(link.target);
            if (link.fragment.isEmpty() || link.fragment == u"top" || !isPage(link.target))
                continue;
            const std::vector<size_t>* anchors = nullptr;
            if (const auto it = byPath.constFind(link.target); it != byPath.constEnd()) {
                anchors = &pages[*it].anchors;
            } else {
                if (!outside.contains(link.target)) {
                    const ReadResult file = document_file::read(link.target);
                    outside.insert(link.target, file.error ? std::vector<size_t>()
                                                           : hashed(page_rules::check(file.text, {false, true, link.target, {}, {}}).anchors));
                }
                anchors = &outside[link.target];
            }
            if (!std::binary_search(anchors->begin(), anchors->end(), qHash(link.fragment, 0)) &&
                !settings.ignored.contains(QStringLiteral("missing-anchor")))
                problems.push_back({link.line, link.column, false, QStringLiteral("missing-anchor"),
                                    QStringLiteral("#%1 names no id in %2.")
                                        .arg(link.fragment, QDir::toNativeSeparators(QDir::current().relativeFilePath(link.target))),
                                    {}, {}});
        }
        if (!problems.empty())
            found.emplace_back(i, std::move(problems));
    }
    if (!settings.orphans || settings.ignored.contains(QStringLiteral("orphan-page")))
        return found;
    for (size_t i = 0; i < pages.size(); ++i) {
        const SitePage& page = pages[i];
        const bool entry = QFileInfo(page.absolute).fileName().startsWith(QStringLiteral("index."));
        if (page.unreadable || entry || linked.contains(page.absolute))
            continue;
        const Problem orphan{0, 0, false, QStringLiteral("orphan-page"), QStringLiteral("No page of the site links to this page."), {}, {}};
        const auto it = std::find_if(found.begin(), found.end(), [i](const auto& f) { return f.first == i; });
        if (it != found.end())
            it->second.insert(it->second.begin(), orphan);
        else
            found.emplace_back(i, std::vector<Problem>{orphan});
    }
    return found;
}

QString uriOf(const QString& path) {
    return QString::fromUtf8(QUrl::toPercentEncoding(QDir::fromNativeSeparators(path), "/"));
}

void appendNumber(QByteArray& out, int n) {
    char digits[16];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, n).ptr - digits);
}

/// Appends FILE:LINE:COLUMN: error|warning: message, and a line end. Built by hand: a site can
/// have millions of these lines.
void appendProblemLine(QByteArray& out, const QByteArray& file, const Problem& p) {
    out += file;
    out += ':';
    appendNumber(out, p.line);
    out += ':';
    appendNumber(out, p.column);
    out += p.error ? ": error: " : ": warning: ";
    appendTextSafe(out, p.message);
    out += '\n';
}

/// Writes the report as pages come in, so that a site of any size is never held in memory.
class Writer {
public:
    explicit Writer(QString format) : format_(std::move(format)) {}

    void begin() {
        if (format_ == u"json")
            put("{\"problems\": [");
        else if (format_ == u"sarif")
            put("{\"version\": \"2.1.0\", \"$schema\": \"https://json.schemastore.org/sarif-2.1.0.json\", "
                "\"runs\": [{\"results\": [");
        else if (format_ == u"junit")
            put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"tagloom-check\">\n"
                "  <testsuite name=\"tagloom-check\">\n");
    }

    /// A page's problems (@p name: what the report calls it), or why it was not checked.
    void page(const QString& path, const QString& name, const std::vector<Problem>& problems, const QString& failure) {
        if (!failure.isEmpty())
            unchecked_.append(QJsonObject{{"file", path}, {"reason", failure}});
        if (format_ == u"text") {
            const QByteArray file = textSafe(path);
            QByteArray out;
            out.reserve(qsizetype(problems.size()) * (file.size() + 80));
            for (const Problem& p : problems)
                appendProblemLine(out, file, p);
            std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
        } else if (format_ == u"json") {
            for (const Problem& p : problems) {
                QJsonObject o{{"file", path}, {"line", p.line}, {"column", p.column},
                              {"severity", p.error ? "error" : "warning"}, {"rule", p.rule}, {"message", p.message}};
                if (!p.word.isEmpty()) {
                    o.insert("word", p.word);
                    o.insert("suggestions", QJsonArray::fromStringList(p.suggestions));
                }
                item(o);
            }
        } else if (format_ == u"sarif") {
            for (const Problem& p : problems) {
                qsizetype index = rules_.indexOf(p.rule);
                if (index < 0) {
                    index = rules_.size();
                    rules_ << p.rule;
                }
                QJsonObject location{{"artifactLocation", QJsonObject{{"uri", uriOf(path)}}}};
                if (p.line > 0)
                    location.insert("region", QJsonObject{{"startLine", p.line}, {"startColumn", std::max(1, p.column)}});
                QJsonObject result{{"ruleId", p.rule}, {"ruleIndex", int(index)}, {"level", p.error ? "error" : "warning"},
                                   {"message", QJsonObject{{"text", p.message}}},
                                   {"locations", QJsonArray{QJsonObject{{"physicalLocation", location}}}}};
                if (!p.word.isEmpty())
                    result.insert("properties", QJsonObject{{"word", p.word}, {"suggestions", QJsonArray::fromStringList(p.suggestions)}});
                item(result);
            }
            if (!failure.isEmpty())
                notifications_.append(QJsonObject{
                    {"level", "error"}, {"message", QJsonObject{{"text", failure}}},
                    {"locations", QJsonArray{QJsonObject{{"physicalLocation", QJsonObject{{"artifactLocation", QJsonObject{{"uri", uriOf(path)}}}}}}}}});
        } else {
            // JUnit: a test case per page, failed by its errors; its warnings are its output.
            QByteArray errorBytes, warningBytes;
            const QByteArray file = textSafe(path);
            for (const Problem& p : problems)
                appendProblemLine(p.error ? errorBytes : warningBytes, file, p);
            const QString errorLines = QString::fromUtf8(errorBytes), warningLines = QString::fromUtf8(warningBytes);
            ++tests_;
            QString out = QStringLiteral("    <testcase classname=\"tagloom-check\" name=\"%1\">\n").arg(xmlEscaped(name));
            if (!failure.isEmpty()) {
                ++errors_;
                out += QStringLiteral("      <error message=\"%1\"/>\n").arg(xmlEscaped(failure));
            }
            if (!errorLines.isEmpty()) {
                ++failures_;
                out += QStringLiteral("      <failure type=\"error\" message=\"%1 error(s)\">%2</failure>\n")
                           .arg(errorLines.count(u'\n')).arg(xmlEscaped(errorLines));
            }
            if (!warningLines.isEmpty())
                out += QStringLiteral("      <system-out>%1</system-out>\n").arg(xmlEscaped(warningLines));
            put(out + QStringLiteral("    </testcase>\n"));
        }
    }

    void end() {
        if (format_ == u"json") {
            put(QStringLiteral("], \"unchecked\": %1}\n").arg(QString::fromUtf8(QJsonDocument(unchecked_).toJson(QJsonDocument::Compact))));
        } else if (format_ == u"sarif") {
            QJsonArray rules;
            for (const QString& rule : rules_)
                rules.append(QJsonObject{{"id", rule}, {"shortDescription", QJsonObject{{"text", rule}}}});
            QJsonObject invocation{{"executionSuccessful", notifications_.isEmpty()}};
            if (!notifications_.isEmpty())
                invocation.insert("toolExecutionNotifications", notifications_);
            const QJsonObject driver{{"name", "tagloom-check"}, {"informationUri", "https://tagloom.org/"}, {"rules", rules}};
            put(QStringLiteral("], \"tool\": %1, \"invocations\": [%2]}]}\n")
                    .arg(QString::fromUtf8(QJsonDocument(QJsonObject{{"driver", driver}}).toJson(QJsonDocument::Compact)),
                         QString::fromUtf8(QJsonDocument(invocation).toJson(QJsonDocument::Compact))));
        } else if (format_ == u"junit") {
            put(QStringLiteral("    <properties><property name=\"tests\" value=\"%1\"/><property name=\"failures\" value=\"%2\"/>"
                               "<property name=\"errors\" value=\"%3\"/></properties>\n  </testsuite>\n</testsuites>\n")
                    .arg(tests_).arg(failures_).arg(errors_));
        }
    }

    bool failedToWrite() const { return std::ferror(stdout) != 0; }

private:
    void put(const QString& text) {
        const QByteArray bytes = text.toUtf8();
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    }
    void item(const QJsonObject& o) {
        put((first_ ? QString() : QStringLiteral(",")) + u'\n' + QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)));
        first_ = false;
    }

    QString format_;
    bool first_ = true;
    QStringList rules_;
    QJsonArray notifications_;
    QJsonArray unchecked_;
    int tests_ = 0, failures_ = 0, errors_ = 0;
};

int run(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    safe_check::keepCheckersBetweenPages(); // a checker a thread, not a checker a page
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty() || args.contains(QStringLiteral("--help"))) {
        std::fputs(kUsage, args.isEmpty() ? stderr : stdout);
        return args.isEmpty() ? 2 : 0;
    }
    Settings settings;
    Settings commandLine;
    QStringList inputs;
    bool accessibilityGiven = false, linksGiven = false, orphansGiven = false, languageGiven = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= args.size())
                return std::nullopt;
            return args[++i];
        };
        if (a == u"--format" || a == u"--accessibility" || a == u"--ignore" || a == u"--include" || a == u"--exclude" ||
            a == u"--spelling-language") {
            const std::optional<QString> v = value();
            if (!v) {
                std::fprintf(stderr, "tagloom-check: %s needs a value\n%s", qPrintable(a), kUsage);
                return 2;
            }
            if (a == u"--format") {
                if (!QStringList{"text", "json", "sarif", "junit"}.contains(*v)) {
                    std::fprintf(stderr, "tagloom-check: unknown format \"%s\"\n", qPrintable(*v));
                    return 2;
                }
                commandLine.format = *v;
            } else if (a == u"--accessibility") {
                bool ok = false;
                commandLine.accessibility = v->toInt(&ok);
                if (!ok || commandLine.accessibility < 0 || commandLine.accessibility > 3) {
                    std::fprintf(stderr, "tagloom-check: --accessibility takes 0 to 3\n");
                    return 2;
                }
                accessibilityGiven = true;
            } else if (a == u"--ignore") {
                commandLine.ignored.insert(*v);
            } else if (a == u"--spelling-language") {
                if (!spelling::isLanguageTag(*v)) {
                    std::fprintf(stderr, "tagloom-check: --spelling-language takes a language such as en or en-GB\n");
                    return 2;
                }
                commandLine.spellingLanguage = *v;
                languageGiven = true;
            } else if (a == u"--include") {
                commandLine.include << *v;
            } else {
                commandLine.exclude << *v;
            }
        } else if (a == u"--links") {
            commandLine.links = linksGiven = true;
        } else if (a == u"--orphans") {
            commandLine.orphans = orphansGiven = true;
        } else if (a == u"--spelling") {
            commandLine.spelling = true;
        } else if (a.startsWith(u"--")) {
            std::fprintf(stderr, "tagloom-check: unknown option %s\n%s", qPrintable(a), kUsage);
            return 2;
        } else {
            inputs << a;
        }
    }
    // The site's own settings first; the command line adds to them or overrides them.
    bool configured = false, badSettings = false;
    for (const QString& input : inputs)
        if (QFileInfo(input).isDir())
            configured = readConfig(input, settings, badSettings) || configured;
    if (!configured)
        readConfig(QDir::currentPath(), settings, badSettings);
    for (const QString& glob : commandLine.include + commandLine.exclude)
        if (const QString error = CheckConfig::globError(glob); !error.isEmpty()) {
            warn(error);
            badSettings = true;
        }
    if (badSettings)
        return 2;
    settings.format = commandLine.format;
    if (accessibilityGiven)
        settings.accessibility = commandLine.accessibility;
    settings.links = settings.links || linksGiven;
    settings.orphans = settings.orphans || orphansGiven;
    settings.spelling = settings.spelling || commandLine.spelling;
    if (languageGiven)
        settings.spellingLanguage = commandLine.spellingLanguage;
    // The site's words, from .tagloom-words where the settings are looked for.
    Speller speller;
    settings.speller = &speller;
    if (settings.spelling) {
        bool listed = false;
        for (const QString& input : inputs)
            if (QFileInfo(input).isDir())
                listed = speller.acceptFile(QDir(input).filePath(QStringLiteral(".tagloom-words"))) || listed;
        if (!listed)
            speller.acceptFile(QDir::current().filePath(QStringLiteral(".tagloom-words")));
    }
    settings.ignored.unite(commandLine.ignored);
    settings.include += commandLine.include;
    settings.exclude += commandLine.exclude;
    if (settings.include.isEmpty()) {
        settings.include = {QStringLiteral("*.html"), QStringLiteral("*.htm"), QStringLiteral("*.xhtml")};
        if (settings.links) // what style sheets name is checked with the links
            settings.include << QStringLiteral("*.css");
    }

    QStringList files;
    QStringList roots; // of each file: the folder given, or for a page given alone the current
                       // folder when the page is in it, else the page's own
    std::vector<folder_walk::PassedOver> passedOver;
    const Globs included(settings.include), excluded(settings.exclude);
    for (const QString& input : inputs) {
        if (!QFileInfo(input).isDir()) {
            files << input;
            const QString absolute = QFileInfo(input).absoluteFilePath();
            roots << (absolute.startsWith(QDir::currentPath() + u'/') ? QDir::currentPath() : QFileInfo(input).absolutePath());
            continue;
        }
        folder_walk::Options options;
        options.hidden = true;
        options.outside = true; // checking reads, and a site may link in shared pages
        const QString root = QDir::cleanPath(input);
        options.wanted = [&](const QString& relative) { return included.match(relative) && !excluded.match(relative); };
        folder_walk::Walk walk = folder_walk::files(root, options);
        for (const folder_walk::File& file : walk.files) {
            files << file.path;
            roots << QFileInfo(root).absoluteFilePath();
        }
        for (folder_walk::PassedOver& p : walk.passedOver)
            passedOver.push_back(std::move(p));
    }
    // Pages are read and checked one per core, a few dozen at a time, and reported in order as
    // they come: only what the links across the site need stays (anchors and links), never a
    // page or its problems. A page is queued as soon as the oldest is reported, so no core waits
    // while reports are written or a slow page finishes.
    Writer writer(settings.format);
    writer.begin();
    std::vector<SitePage> site;
    bool failed = false, unchecked = false;
    const qsizetype window = 16 * std::max(1, QThreadPool::globalInstance()->maxThreadCount());
    std::deque<QFuture<PageResult>> inFlight;
    qsizetype queued = 0;
    const auto topUp = [&] {
        for (; queued < files.size() && qsizetype(inFlight.size()) < window; ++queued)
            inFlight.push_back(QtConcurrent::run([&settings, path = files[queued], root = roots[queued]] { return checkPage(path, root, settings); }));
    };
    topUp();
    while (!inFlight.empty()) {
        const PageResult page = inFlight.front().result();
        inFlight.pop_front();
        topUp();
        if (page.unreadable) {
            failed = true;
            warn(page.failure);
        } else if (!page.failure.isEmpty()) {
            unchecked = true;
            warn(page.path + QStringLiteral(": ") + page.failure);
        }
        for (const Problem& p : page.problems)
            failed = failed || p.error;
        writer.page(page.path, page.path, page.problems, page.failure);
        if (settings.links)
            site.push_back({page.path, page.absolute, page.unreadable, hashed(page.anchors), page.links});
    }
    // What a folder held that could not be checked is reported as an unreadable page is.
    for (const folder_walk::PassedOver& p : passedOver) {
        failed = true;
        const QString why = QDir::toNativeSeparators(p.path) + QStringLiteral(": not checked: ") + p.reason;
        warn(why);
        writer.page(p.path, p.path, {}, why);
    }
    if (settings.links)
        for (const auto& [index, problems] : checkSite(site, settings))
            writer.page(site[index].path, site[index].path + QStringLiteral(" (links across the site)"), problems, {});
    writer.end();
    for (const QString& language : speller.missingLanguages())
        warn(QStringLiteral("no dictionary for %1 is installed: its words were not checked").arg(language));
    safe_check::keepCheckersBetweenPages(false); // each checker process ends before this one does
    if (std::fflush(stdout) != 0 || writer.failedToWrite()) {
        std::fprintf(stderr, "tagloom-check: cannot write the output: %s\n", std::strerror(errno));
        return 1;
    }
    return unchecked ? 2 : failed ? 1 : 0;
}
} // namespace

int main(int argc, char* argv[]) {
#ifdef Q_OS_WIN
    // Reports are the same bytes on every system: no \r added before each \n.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    const int status = run(argc, argv);
#ifdef Q_OS_WIN
    // MinGW's C++ runtime can hang as it unloads after pages were spelt on worker threads (seen
    // under Wine). Everything is written by now: the process ends without unloading.
    std::fflush(nullptr);
    TerminateProcess(GetCurrentProcess(), UINT(status));
#endif
    return status;
}
