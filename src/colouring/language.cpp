#include "language.h"

#include <array>
#include <utility>

namespace language {
namespace {
struct Named {
    const char16_t* suffix;
    Language language;
};
// Pages served by a server that fills in parts (PHP, SSI, templates) are HTML to their authors.
constexpr std::array kSuffixes{
    Named{u"html", Language::Html},  Named{u"htm", Language::Html},      Named{u"xhtml", Language::Html},
    Named{u"shtml", Language::Html}, Named{u"php", Language::Html},      Named{u"css", Language::Css},
    Named{u"js", Language::JavaScript}, Named{u"mjs", Language::JavaScript}, Named{u"cjs", Language::JavaScript},
    Named{u"json", Language::Json},  Named{u"webmanifest", Language::Json}, Named{u"map", Language::Json},
    Named{u"svg", Language::Xml},    Named{u"xml", Language::Xml},      Named{u"rss", Language::Xml},
    Named{u"atom", Language::Xml},   Named{u"txt", Language::Plain},    Named{u"md", Language::Plain},
};

constexpr std::array kIds{std::pair{Language::Html, u"html"}, std::pair{Language::Css, u"css"},
                          std::pair{Language::JavaScript, u"js"}, std::pair{Language::Json, u"json"},
                          std::pair{Language::Xml, u"xml"}, std::pair{Language::Plain, u"plain"}};
} // namespace

std::optional<Language> fromName(QStringView fileName) {
    const qsizetype slash = std::max(fileName.lastIndexOf(u'/'), fileName.lastIndexOf(u'\\'));
    const QStringView name = fileName.mid(slash + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot <= 0) // no suffix, or a name that only starts with a dot
        return std::nullopt;
    const QStringView suffix = name.mid(dot + 1);
    for (const Named& named : kSuffixes)
        if (suffix.compare(QStringView(named.suffix), Qt::CaseInsensitive) == 0)
            return named.language;
    return std::nullopt;
}

Language fromContent(QStringView text) {
    qsizetype at = 0;
    if (at < text.size() && text[at] == QChar(0xFEFF))
        ++at;
    while (at < text.size() && text[at].isSpace())
        ++at;
    const QStringView start = text.mid(at, 64);
    if (start.startsWith(u'{') || start.startsWith(u'['))
        return Language::Json;
    if (start.startsWith(u"<?xml", Qt::CaseInsensitive) || start.startsWith(u"<svg", Qt::CaseInsensitive))
        return Language::Xml;
    return Language::Html;
}

Language detect(QStringView fileName, QStringView text) {
    if (const std::optional<Language> named = fromName(fileName))
        return *named;
    return fromContent(text);
}

QString displayName(Language language) {
    switch (language) {
    case Language::Html:
        return QStringLiteral("HTML");
    case Language::Css:
        return QStringLiteral("CSS");
    case Language::JavaScript:
        return QStringLiteral("JavaScript");
    case Language::Json:
        return QStringLiteral("JSON");
    case Language::Xml:
        return QStringLiteral("SVG/XML");
    case Language::Plain:
        break;
    }
    return QStringLiteral("Plain Text");
}

QString id(Language language) {
    for (const auto& [l, name] : kIds)
        if (l == language)
            return QString::fromUtf16(name);
    return QString();
}

std::optional<Language> fromId(QStringView name) {
    for (const auto& [l, known] : kIds)
        if (name.compare(QStringView(known), Qt::CaseInsensitive) == 0)
            return l;
    if (name.compare(u"javascript", Qt::CaseInsensitive) == 0)
        return Language::JavaScript;
    return std::nullopt;
}
} // namespace language
