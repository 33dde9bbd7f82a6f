#pragma once

#include <QRectF>
#include <optional>
#include <vector>

class QTextDocument;

/// Keeps the repaint after a small edit to the edited lines. A coloured line that is edited gets
/// new formats, and the document then reports that line and the next as changed, so the layout
/// asks to repaint the whole view. When the block count and every edited line's line count are
/// as they were before the edit, nothing else moved and only those lines need painting.
class RepaintNarrowing {
public:
    explicit RepaintNarrowing(QTextDocument* document);

    /// An edit put @p added characters at document position @p position. Told before the layout
    /// lays the edit out, so that the line counts read are those from before.
    void noteEdit(int position, int added);
    /// Something other than the noted edit changed the layout: repaint as asked.
    void forget() { edited_.reset(); }

    /// The block numbers [first, last] to repaint instead of @p rect, or nothing when the repaint
    /// must be as asked. Takes the noted edit either way.
    struct Blocks {
        int first = 0;
        int last = 0;
    };
    std::optional<Blocks> narrowed(const QRectF& rect);

    static constexpr int kMostLinesRepaintedAlone = 8;

private:
    QTextDocument* document_;
    /// The lines of the edit being laid out, with their line counts from before it.
    struct Edited {
        int revision = 0;
        int firstBlock = 0;
        std::vector<int> lineCounts;
    };
    std::optional<Edited> edited_;
    int knownBlockCount_ = 1;
};
