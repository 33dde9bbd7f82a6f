#pragma once

#include <compare>

/// A position in one of the edit area's two position spaces. The two cannot be mixed up: a
/// conversion between them goes through the edit area, which knows the line ends and soft
/// breaks in between.
template <typename Space>
struct TextPosition {
    int value = 0;

    constexpr TextPosition() = default;
    constexpr explicit TextPosition(int position) : value(position) {}
    constexpr auto operator<=>(const TextPosition&) const = default;
    constexpr TextPosition operator+(int characters) const { return TextPosition(value + characters); }
    constexpr int operator-(TextPosition from) const { return value - from.value; }
};

/// A position in the page's text as a file holds it: every line end counts two (CR LF) and a
/// soft break none. Every position the program shows or keeps is one of these.
using CrlfPosition = TextPosition<struct CrlfSpace>;
/// A position in the QTextDocument: a line end counts one, and so does a soft break.
using DocumentPosition = TextPosition<struct DocumentSpace>;
