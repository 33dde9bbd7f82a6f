#include "spelling.h"

#include "base/regular_file.h"
#include "colouring/html_data.h"
#include "colouring/html_tokenizer.h"
#include "colouring/tag_matching.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <hunspell/hunspell.hxx>
#include <iterator>
#include <optional>
#include <string_view>

namespace spelling {
namespace {

bool isApostrophe(QChar c) {
    return c == u'\'' || c == QChar(0x2019);
}

const QHash<QString, QString>& namedReferences() {
    static const QHash<QString, QString> kNamed = [] {
        QHash<QString, QString> named;
        for (const HtmlData::CharacterReference& reference : HtmlData::instance().characterReferences())
            named.insert(reference.name, reference.characters);
        return named;
    }();
    return kNamed;
}

/// Page text with its character references read; each character knows where it was written.
struct Decoded {
    QString text;
    std::vector<qsizetype> at; ///< one more than text: where the text ends
};

Decoded decode(QStringView raw, qsizetype offset) {
    Decoded out;
    out.text.reserve(raw.size());
    out.at.reserve(size_t(raw.size()) + 1);
    const auto put = [&](QStringView characters, qsizetype from) {
        for (const QChar c : characters) {
            out.text += c;
            out.at.push_back(offset + from);
        }
    };
    for (qsizetype i = 0; i < raw.size();) {
        if (raw[i] != u'&') {
            put(raw.mid(i, 1), i);
            ++i;
            continue;
        }
        qsizetype j = i + 1;
        if (j < raw.size() && raw[j] == u'#') {
            const bool hex = j + 1 < raw.size() && (raw[j + 1] == u'x' || raw[j + 1] == u'X');
            qsizetype k = j + (hex ? 2 : 1);
            const qsizetype digits = k;
            while (k < raw.size() && (hex ? QStringView(u"0123456789abcdefABCDEF").contains(raw[k]) : raw[k].isDigit()))
                ++k;
            bool ok = false;
            const uint code = raw.mid(digits, k - digits).toUInt(&ok, hex ? 16 : 10);
            if (ok && code > 0 && code <= 0x10FFFF) {
                const char32_t c = code;
                put(QString::fromUcs4(&c, 1), i);
                i = k < raw.size() && raw[k] == u';' ? k + 1 : k;
                continue;
            }
        } else {
            while (j < raw.size() && raw[j].isLetterOrNumber() && raw[j].unicode() < 128)
                ++j;
            const bool semicolon = j < raw.size() && raw[j] == u';';
            const QString name = raw.mid(i + 1, j - i - 1 + (semicolon ? 1 : 0)).toString();
            const auto found = namedReferences().constFind(name);
            if (j > i + 1 && found != namedReferences().constEnd()) {
                put(*found, i);
                i = j + (semicolon ? 1 : 0);
                continue;
            }
        }
        put(raw.mid(i, 1), i);
        ++i;
    }
    out.at.push_back(offset + raw.size());
    return out;
}

bool looksLikeAddress(QStringView token) {
    return token.contains(u"://") || token.startsWith(u"www.", Qt::CaseInsensitive) ||
           (token.indexOf(u'@') > 0 && token.indexOf(u'.', token.indexOf(u'@')) > 0) || token.startsWith(u"mailto:");
}

bool isWordCharacter(QChar c) {
    return c.isLetterOrNumber() || c.isMark();
}

constexpr std::u16string_view kCodeElements[] = {u"code", u"kbd", u"samp", u"var", u"script", u"style", u"template"};
constexpr std::u16string_view kReadAttributes[] = {u"alt", u"title", u"placeholder", u"aria-label", u"aria-description"};

template <typename List>
bool among(const List& list, QStringView name) {
    return std::any_of(std::begin(list), std::end(list), [name](std::u16string_view n) { return name == n; });
}

QStringView unquoted(QStringView value, qsizetype& start) {
    if (!value.isEmpty() && (value[0] == u'"' || value[0] == u'\'')) {
        ++start;
        const bool closed = value.size() >= 2 && value.back() == value[0];
        return value.mid(1, value.size() - (closed ? 2 : 1));
    }
    return value;
}

struct Reader : HtmlTokenizer::Listener {
    QStringView page;
    const Options* options = nullptr;
    const TagMap* map = nullptr;
    std::vector<Word>* out = nullptr;

    struct Scope {
        qsizetype end;
        QString language;
        bool skip;
    };
    std::vector<Scope> scopes;
    qsizetype covered = 0;
    struct Attribute {
        QString name;
        qsizetype valueStart = -1;
        QStringView value;
    };
    std::vector<Attribute> attributes;

    const Scope& scopeAt(qsizetype position) {
        while (scopes.size() > 1 && scopes.back().end <= position)
            scopes.pop_back();
        return scopes.back();
    }
    void gap(qsizetype until) {
        if (until <= covered)
            return;
        const Scope& scope = scopeAt(covered);
        if (!scope.skip)
            wordsOfText(page.mid(covered, until - covered), covered, scope.language, *out);
        covered = until;
    }
    void span(HtmlSpan kind, qsizetype start, qsizetype length) override {
        if (kind == HtmlSpan::CharacterReference)
            return; // read with the text around it
        gap(start);
        covered = std::max(covered, start + length);
        if (kind == HtmlSpan::AttributeName) {
            attributes.push_back({page.mid(start, length).toString().toLower(), -1, {}});
        } else if (kind == HtmlSpan::AttributeValue && !attributes.empty() && attributes.back().valueStart < 0) {
            qsizetype valueStart = start;
            attributes.back().value = unquoted(page.mid(start, length), valueStart);
            attributes.back().valueStart = valueStart;
        }
    }
    QStringView attribute(QStringView name) const {
        for (const Attribute& a : attributes)
            if (a.name == name)
                return a.value;
        return {};
    }
    void tag(const HtmlTag& tag) override {
        gap(tag.start);
        covered = std::max(covered, tag.end);
        const QString name = page.mid(tag.nameStart, tag.nameLength).toString().toLower();
        if (tag.endTag) {
            attributes.clear();
            return;
        }
        const Scope& outer = scopeAt(tag.start);
        QString language = outer.language;
        if (QStringView lang = attribute(u"lang"); !lang.isNull() || !(lang = attribute(u"xml:lang")).isNull())
            language = lang.trimmed().toString().toLower();
        const bool skip = outer.skip || among(kCodeElements, name) || (name == u"pre" && !options->checkPre);
        // What the tag shows a reader in its attributes.
        const QString type = attribute(u"type").toString().toLower();
        const bool button = name == u"button" || (name == u"input" && (type == u"button" || type == u"submit" || type == u"reset"));
        const bool description = name == u"meta" && attribute(u"name").compare(u"description", Qt::CaseInsensitive) == 0;
        for (const Attribute& a : attributes)
            if (a.valueStart >= 0 && (among(kReadAttributes, a.name) || (button && a.name == u"value") ||
                                      (description && a.name == u"content")))
                wordsOfText(a.value, a.valueStart, language, *out);
        attributes.clear();
        // The element's own scope, to where HTML ends it.
        const auto& tags = map->tags();
        const auto it = std::lower_bound(tags.begin(), tags.end(), tag.start,
                                         [](const TagMap::Tag& t, qsizetype at) { return t.start < at; });
        if (it == tags.end() || it->start != tag.start || it->status() == TagMap::Status::Void)
            return;
        const qsizetype end = it->status() == TagMap::Status::Matched ? tags[size_t(it->partner())].start
                              : it->endedAt() >= 0                        ? it->endedAt()
                                                                          : page.size();
        if (language != outer.language || skip != outer.skip)
            scopes.push_back({end, language, skip});
    }
};

} // namespace

bool isLanguageTag(QStringView language) {
    // Two or three letters, then any number of - or _ and two to eight letters or digits.
    const auto isLetter = [](QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); };
    const auto isLetterOrDigit = [&](QChar c) { return isLetter(c) || (c >= u'0' && c <= u'9'); };
    qsizetype i = 0;
    while (i < language.size() && isLetter(language[i]))
        ++i;
    if (i < 2 || i > 3)
        return false;
    while (i < language.size()) {
        if (language[i] != u'-' && language[i] != u'_')
            return false;
        const qsizetype start = ++i;
        while (i < language.size() && isLetterOrDigit(language[i]))
            ++i;
        if (i - start < 2 || i - start > 8)
            return false;
    }
    return true;
}

void wordsOfText(QStringView text, qsizetype offset, const QString& language, std::vector<Word>& out) {
    const Decoded d = decode(text, offset);
    const QString& s = d.text;
    for (qsizetype i = 0; i < s.size();) {
        while (i < s.size() && s[i].isSpace())
            ++i;
        qsizetype j = i;
        while (j < s.size() && !s[j].isSpace())
            ++j;
        const QStringView token = QStringView(s).mid(i, j - i);
        if (!looksLikeAddress(token)) {
            for (qsizetype k = i; k < j;) {
                if (!isWordCharacter(s[k])) {
                    ++k;
                    continue;
                }
                qsizetype end = k;
                bool digits = false;
                while (end < j && (isWordCharacter(s[end]) || (isApostrophe(s[end]) && end + 1 < j && s[end + 1].isLetter()))) {
                    digits = digits || s[end].isDigit();
                    ++end;
                }
                if (!digits) {
                    QString word = s.mid(k, end - k);
                    word.replace(QChar(0x2019), u'\'');
                    out.push_back({word, d.at[size_t(k)], d.at[size_t(end)] - d.at[size_t(k)], language});
                }
                k = end;
            }
        }
        i = j;
    }
}

std::vector<Word> wordsOf(QStringView page, const Options& options) {
    std::vector<Word> words;
    const TagMap map = TagMap::build(page);
    Reader reader;
    reader.page = page;
    reader.options = &options;
    reader.map = &map;
    reader.out = &words;
    reader.scopes.push_back({page.size() + 1, options.fallbackLanguage.toLower(), false});
    HtmlTokenizer::read(page, reader);
    reader.gap(page.size());
    return words;
}

} // namespace spelling

struct Speller::Dictionary {
    std::unique_ptr<Hunspell> hunspell;
    std::optional<QStringConverter::Encoding> encoding; ///< else a name Qt may not know
    QString encodingName;
    QMutex mutex; ///< Hunspell is not safe from two threads at once
    QHash<QString, QStringList> suggested;
    /// What Hunspell said of each word asked: a page read again after an edit, and a site's pages,
    /// ask mostly the same words.
    QHash<QString, bool> known;
    static constexpr qsizetype kMostKnown = 500'000;

    std::string encode(const QString& word) const {
        if (encoding == QStringConverter::Utf8)
            return word.toStdString();
        QStringEncoder encoder(encodingName.toLatin1().constData());
        const QByteArray bytes = encoder.encode(word);
        return encoder.hasError() ? std::string() : bytes.toStdString();
    }
    QString decode(const std::string& bytes) const {
        if (encoding == QStringConverter::Utf8)
            return QString::fromStdString(bytes);
        QStringDecoder decoder(encodingName.toLatin1().constData());
        return decoder.decode(QByteArray::fromStdString(bytes));
    }
};

Speller::Speller(QStringList folders) : folders_(folders.isEmpty() ? systemFolders() : std::move(folders)) {}

Speller::~Speller() = default;

QStringList Speller::systemFolders() {
    QStringList folders;
    if (const QString own = qEnvironmentVariable("TAGLOOM_DICTIONARIES"); !own.isEmpty())
        folders += own.split(QDir::listSeparator(), Qt::SkipEmptyParts);
#ifdef Q_OS_WIN
    // Windows has no shared place for them: they come with the program.
    if (QCoreApplication::instance())
        folders << QCoreApplication::applicationDirPath() + QStringLiteral("/dictionaries");
#else
    folders << QStringLiteral("/usr/share/hunspell") << QStringLiteral("/usr/share/myspell/dicts")
            << QStringLiteral("/usr/share/myspell");
#endif
    return folders;
}

QString Speller::dictionaryFor(const QString& language) const {
    // "en-GB" is en_GB, else any English; "de" is de_DE, else any German.
    const QString tag = language.trimmed().toLower().replace(u'-', u'_');
    const QString base = tag.section(u'_', 0, 0);
    if (base.isEmpty())
        return {};
    QStringList wanted;
    if (tag.contains(u'_'))
        wanted << base + u'_' + tag.section(u'_', 1, 1).toUpper();
    wanted << base + u'_' + base.toUpper() << base;
    if (base == u"en")
        wanted << QStringLiteral("en_US");
    for (const QString& folder : folders_) {
        const QDir dir(folder);
        for (const QString& name : std::as_const(wanted))
            if (QFileInfo(dir.filePath(name + QStringLiteral(".aff"))).isFile() && QFileInfo(dir.filePath(name + QStringLiteral(".dic"))).isFile())
                return dir.filePath(name);
        const QStringList any = dir.entryList({base + QStringLiteral("_*.dic")}, QDir::Files, QDir::Name);
        for (const QString& dic : any) {
            const QString stem = dir.filePath(QFileInfo(dic).completeBaseName());
            if (QFileInfo(stem + QStringLiteral(".aff")).isFile())
                return stem;
        }
    }
    return {};
}

Speller::Dictionary* Speller::load(const QString& language) {
    QMutexLocker lock(&mutex_);
    const QString key = language.toLower();
    if (const auto it = loaded_.constFind(key); it != loaded_.constEnd())
        return it->get();
    std::shared_ptr<Dictionary> dictionary;
    const QString stem = dictionaryFor(key);
    if (!stem.isEmpty()) {
        dictionary = std::make_shared<Dictionary>();
        dictionary->hunspell = std::make_unique<Hunspell>(QFile::encodeName(stem + QStringLiteral(".aff")).constData(),
                                                          QFile::encodeName(stem + QStringLiteral(".dic")).constData());
        dictionary->encodingName = QString::fromStdString(dictionary->hunspell->get_dict_encoding());
        dictionary->encoding = QStringConverter::encodingForName(dictionary->encodingName.toLatin1().constData());
        if (!dictionary->encoding && !QStringEncoder(dictionary->encodingName.toLatin1().constData()).isValid())
            dictionary.reset(); // written in an encoding this system cannot convert
        else
            for (const QString& word : std::as_const(accepted_))
                dictionary->hunspell->add(dictionary->encode(word));
    }
    if (!dictionary)
        missing_ << key;
    loaded_.insert(key, dictionary);
    return dictionary.get();
}

bool Speller::hasDictionary(const QString& language) {
    return load(language) != nullptr;
}

bool Speller::isCorrect(const QString& word, const QString& language) {
    Dictionary* dictionary = load(language);
    if (!dictionary)
        return true;
    {
        QMutexLocker lock(&mutex_);
        if (accepted_.contains(word))
            return true;
    }
    QMutexLocker lock(&dictionary->mutex);
    if (const auto known = dictionary->known.constFind(word); known != dictionary->known.constEnd())
        return *known;
    const std::string encoded = dictionary->encode(word);
    // A word the dictionary's alphabet cannot hold is not in it.
    const bool correct = !encoded.empty() && dictionary->hunspell->spell(encoded);
    if (dictionary->known.size() >= Dictionary::kMostKnown)
        dictionary->known.clear();
    dictionary->known.insert(word, correct);
    return correct;
}

QStringList Speller::suggestions(const QString& word, const QString& language, int most) {
    Dictionary* dictionary = load(language);
    if (!dictionary)
        return {};
    // Finding suggestions takes Hunspell milliseconds a word, and a site repeats its typos: each
    // is looked for once.
    QMutexLocker lock(&dictionary->mutex);
    if (const auto known = dictionary->suggested.constFind(word); known != dictionary->suggested.constEnd())
        return known->mid(0, most);
    const std::string encoded = dictionary->encode(word);
    QStringList out;
    if (!encoded.empty())
        for (const std::string& s : dictionary->hunspell->suggest(encoded)) {
            if (out.size() >= 8)
                break;
            out << dictionary->decode(s);
        }
    dictionary->suggested.insert(word, out);
    return out.mid(0, most);
}

void Speller::accept(const QString& word) {
    QMutexLocker lock(&mutex_);
    accepted_.insert(word);
    for (const auto& dictionary : std::as_const(loaded_))
        if (dictionary) {
            QMutexLocker own(&dictionary->mutex);
            dictionary->hunspell->add(dictionary->encode(word));
            dictionary->known.remove(word);
        }
}

bool Speller::acceptFile(const QString& path) {
    // A word list may be a link to anything: only a small regular file is read, never waited on.
    const regular_file::Read read = regular_file::readAll(path, 16 * 1024 * 1024);
    if (!read.opened)
        return false;
    for (const QByteArray& line : read.bytes.split('\n')) {
        const QString word = QString::fromUtf8(line).trimmed();
        if (!word.isEmpty() && !word.startsWith(u'#'))
            accept(word);
    }
    return true;
}

QStringList Speller::missingLanguages() const {
    QMutexLocker lock(&mutex_);
    return missing_;
}
