#pragma once

class QTextBlock;

/// A line's text layout, which Qt makes for every line it lays out, measures or relays out
/// (a change of the view's width relays out every line) and otherwise frees only with the line.
/// Qt's public API can clear a layout's lines but not the layout itself: these reach into the
/// document to free it. The layout is made afresh, laid out again, the next time Qt needs it.
namespace block_layouts {
/// Whether @p block holds a layout now; asking QTextBlock::layout() would make one.
bool has(const QTextBlock& block);
/// Frees @p block's layout, with its lines, glyphs and formats.
void drop(const QTextBlock& block);
} // namespace block_layouts
