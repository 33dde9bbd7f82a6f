#pragma once

#include <QHash>
#include <QMutex>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <memory>
#include <vector>

class Hunspell;

/// Spelling that reads a page as a browser does: only the text a reader sees is checked, with
/// character references read, in the language the page gives each part of it.
namespace spelling {

/// A word as the page has it.
struct Word {
    QString text;        ///< as read: references decoded, ’ read as '
    qsizetype start = 0; ///< where it stands in the page, as written there
    qsizetype length = 0;
    QString language;    ///< the nearest lang (lower case), or the fallback
};

struct Options {
    QString fallbackLanguage = QStringLiteral("en");
    /// The text of <pre> is checked too (it is often code).
    bool checkPre = false;
};

/// Whether @p language is written as a language tag is (en, en-GB, de_CH, gsw).
bool isLanguageTag(QStringView language);

/// The words a reader sees in @p page: text (not in code, kbd, samp, var, pre, script, style or
/// comments), and the values of alt, title, placeholder, aria-label, aria-description, a button's
/// value and a description's content. Never URLs, e-mail addresses or words with digits; a
/// hyphenated word is its parts.
std::vector<Word> wordsOf(QStringView page, const Options& options = {});

/// The words of a stretch of plain text that starts at @p offset, in @p language.
void wordsOfText(QStringView text, qsizetype offset, const QString& language, std::vector<Word>& out);

} // namespace spelling

/// Hunspell's dictionaries, found where Debian installs them (or in the folders given), one
/// loaded per language as it is first asked for; and the words a site or a user accepts.
/// Safe to use from several threads.
class Speller {
public:
    /// @p folders: where to look for NAME.aff and NAME.dic; empty for the system's folders.
    explicit Speller(QStringList folders = {});
    ~Speller();
    Speller(const Speller&) = delete;
    Speller& operator=(const Speller&) = delete;

    /// The folders dictionaries are looked for in: $TAGLOOM_DICTIONARIES, then Debian's.
    static QStringList systemFolders();
    /// The dictionary for a language ("en", "en-GB", "de-CH"): the one of that region, else one of
    /// the language; empty when none is installed.
    QString dictionaryFor(const QString& language) const;
    bool hasDictionary(const QString& language);

    /// Whether @p word is spelt right in @p language. True when there is no dictionary for it.
    bool isCorrect(const QString& word, const QString& language);
    /// Up to @p most suggestions for @p word.
    QStringList suggestions(const QString& word, const QString& language, int most = 8);
    /// A word accepted in every language (a site's or the user's list).
    void accept(const QString& word);
    /// Reads a word list (one word a line, # for a comment); false when it cannot be read.
    bool acceptFile(const QString& path);
    /// The languages asked for that have no dictionary, each once.
    QStringList missingLanguages() const;

private:
    struct Dictionary;
    Dictionary* load(const QString& language);

    QStringList folders_;
    mutable QMutex mutex_;
    QHash<QString, std::shared_ptr<Dictionary>> loaded_; ///< by language asked for; null when none
    QSet<QString> accepted_;
    QStringList missing_;
};
