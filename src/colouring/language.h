#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

/// What a document holds, which decides how it is coloured and which commands fit it.
enum class Language : std::uint8_t { Html, Css, JavaScript, Json, Xml, Plain };

namespace language {
inline constexpr Language kAll[] = {Language::Html, Language::Css, Language::JavaScript,
                                    Language::Json, Language::Xml,  Language::Plain};

/// The language a file's name says (its suffix), or nullopt when the name does not tell.
std::optional<Language> fromName(QStringView fileName);
/// The language the start of a text says: a doctype or `<html` HTML, `{` or `[` JSON,
/// `<?xml` or `<svg` SVG/XML; HTML when nothing tells (the program's own kind of page).
Language fromContent(QStringView text);
/// From the name when it tells, else from the content.
Language detect(QStringView fileName, QStringView text);

/// As the status bar and the View > Language menu name it.
QString displayName(Language language);
/// As the command line names it: html, css, js, json, xml, plain.
QString id(Language language);
std::optional<Language> fromId(QStringView id);

/// Style sheets, scripts and JSON: coloured as they are typed, by their own lexer.
inline bool isCode(Language language) {
    return language == Language::Css || language == Language::JavaScript || language == Language::Json;
}
/// Pages the HTML commands (insertions, Check Tags, abbreviations, HTML completion) are for.
inline bool isHtml(Language language) { return language == Language::Html; }
/// Markup: tags that match and end.
inline bool isMarkup(Language language) { return language == Language::Html || language == Language::Xml; }
} // namespace language
