#pragma once

/// The fixed pieces of markup that commands insert and the colouring pass looks for.
namespace markup {
inline constexpr char kQuote[] = "\"";
/// Opens an attribute value: `="`.
inline constexpr char kValueOpen[] = "=\"";
/// Closes the last attribute value and its tag: `">`.
inline constexpr char kValueEnd[] = "\">";
inline constexpr char kTagClose[] = ">";
/// Opens a declaration or a comment: `<!`.
inline constexpr char kDeclarationOpen[] = "<!";
/// The line the page templates put in every head.
inline constexpr char kGeneratorMeta[] = "<meta name=\"GENERATOR\" content=\"Tagloom\">";
} // namespace markup
