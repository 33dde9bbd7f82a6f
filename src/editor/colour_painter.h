#pragma once

#include <QSyntaxHighlighter>

class ColourModel;

/// Paints the colour model onto the editor's lines. It never decides colours itself, so its
/// formats stay out of the document's undo history.
class ColourPainter : public QSyntaxHighlighter {
    Q_OBJECT
public:
    ColourPainter(QTextDocument* document, const ColourModel& model);

    /// True when the block was painted from an older state of the model.
    bool isStale(const QTextBlock& block) const;

protected:
    void highlightBlock(const QString& text) override;

private:
    const ColourModel& model_;
};
