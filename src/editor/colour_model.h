#pragma once

#include "colouring/colour.h"

#include <algorithm>
#include <cstdint>
#include <vector>

/// Colour of every character of a document, kept apart from the text so that colouring never
/// touches the editor's undo history.
///
/// Positions are editor-document positions (one character per line end). Each character holds a
/// palette index (0 = the default colour). Storage is a gap buffer of one byte per character: an
/// edit moves the gap to the caret, so typing costs O(distance from the last edit), which stays
/// small for a user who types in one place and at worst is one memmove of the document. Until a
/// character gets a colour the store holds nothing but its length: a page that is never
/// coloured costs no byte per character.
class ColourModel {
public:
    using Index = std::uint8_t;

    int size() const { return blank_ ? blankLength_ : static_cast<int>(buf_.size()) - gapLength(); }
    /// Bumped by every change that is not a text edit (fill, assign, reset), so that painted
    /// lines can tell they are out of date.
    std::uint64_t generation() const { return generation_; }
    /// False while no character can have a colour (after reset), so painting can skip work.
    bool mayHaveColours() const { return coloured_; }
    /// Bumped only when the whole colouring is replaced or dropped (assign, reset): colours saved
    /// under another epoch belong to a colouring that is gone.
    std::uint64_t epoch() const { return epoch_; }

    /// Palette index of a colour, added on first use. Index 0 is the editor's default colour. When
    /// all 255 entries are taken the last one is reused: the program itself uses four colours.
    Index indexFor(Colour colour);
    Colour colourOf(Index index) const { return palette_[index]; }

    /// The room kept free for typing in a store of @p length characters.
    static size_t gapFor(size_t length) { return std::max<size_t>(4096, length / 8); }

    void reset(int length);
    /// Makes room for @p count more characters at the end, where a page loading in pieces grows,
    /// so that it grows without copying the store again and again.
    void reserveAtEnd(int count);
    void assign(std::vector<Index> colours);
    void insert(int pos, int count);
    void remove(int pos, int count);
    void fill(int pos, int count, Index index);
    Index at(int pos) const;
    /// The indexes of [pos, pos + count), and writing such a run back.
    std::vector<Index> copy(int pos, int count) const;
    void write(int pos, const std::vector<Index>& colours);
    /// Sets the colours of [pos, pos + count) as part of an edit: no new generation, so the caller
    /// tells the painted lines it changed.
    void recolour(int pos, const Index* colours, int count);
    /// Resizes to @p length, cutting or padding with the default colour at the end.
    void resize(int length);

    /// Calls f(start, length, index) for every maximal run of one index inside [pos, pos + count).
    template <class F> void forEachRun(int pos, int count, F&& f) const {
        const int end = pos + count;
        if (count <= 0)
            return;
        if (blank_) {
            f(pos, count, Index(0));
            return;
        }
        // Walk the buffer directly, on each side of the gap: this runs for every painted line.
        int runStart = pos;
        Index current = at(pos);
        for (int i = pos + 1; i < end;) {
            const int stop = i < gapStart_ ? std::min(end, gapStart_) : end;
            const Index* data = buf_.data() + (i < gapStart_ ? 0 : gapLength());
            for (; i < stop; ++i) {
                if (data[i] != current) {
                    f(runStart, i - runStart, current);
                    runStart = i;
                    current = data[i];
                }
            }
        }
        f(runStart, end - runStart, current);
    }

private:
    int gapLength() const { return gapEnd_ - gapStart_; }
    void moveGap(int pos);
    void ensureGap(int count);
    /// Gives a blank store its bytes, all of the default colour.
    void materialize();

    std::vector<Colour> palette_{0};
    std::vector<Index> buf_;
    int gapStart_ = 0;
    int gapEnd_ = 0;
    std::uint64_t generation_ = 0;
    std::uint64_t epoch_ = 0;
    bool coloured_ = false;
    bool blank_ = true;
    int blankLength_ = 0;
};
