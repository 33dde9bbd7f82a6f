#pragma once

#include <QList>
#include <QTextLayout>
#include <functional>

class ColourModel;
class QTextBlock;
class QTextDocument;

/// Paints the colour model onto the editor's lines: it gives a line's layout the formats of its
/// colours (formats of the layout, not of the text, so they stay out of the undo history) and
/// tells the document to lay the line out again. It never decides colours itself, and never
/// paints on its own: the edit area says which lines and when (the lines an edit touched, and
/// lines in view painted from an older state of the model).
class ColourPainter {
public:
    ColourPainter(QTextDocument& document, const ColourModel& model);

    /// True when the block was painted from an older state of the model, or lost its layout.
    bool isStale(const QTextBlock& block) const;
    /// Gives @p block the model's colours now.
    void paint(const QTextBlock& block);

    /// Formats a line gets beside its colours (room made for what is drawn in it), added to
    /// @p formats; given with the line's colours so that one layout serves both.
    using LineFormats = std::function<void(const QTextBlock& block, QList<QTextLayout::FormatRange>& formats)>;
    void setLineFormats(LineFormats more) { more_ = std::move(more); }

private:
    QTextDocument& document_;
    const ColourModel& model_;
    LineFormats more_;
};
