#pragma once

#include <QTextCursor>
#include <vector>

class QTextDocument;

/// The empty attribute values a completion left (`src="" alt=""`), as snippet places are in other
/// editors: a closing quote typed just before one of their closing quotes steps over it rather
/// than adding another, and Tab goes from one value to the next, then past the last. The quotes
/// are held as cursors, so they move with every edit; one that is gone is dropped.
class ValuePlaces {
public:
    /// Takes over the closing quotes at @p quotes (document positions, ascending).
    void set(QTextDocument* document, const std::vector<int>& quotes);
    void clear() { quotes_.clear(); }
    bool isEmpty() const { return quotes_.empty(); }

    /// A `"` typed with the caret at @p caret (no selection): the position after the completion's
    /// closing quote there, or -1 when there is none (the quote is then typed as usual).
    int stepOverQuote(int caret);
    /// Tab with the caret at @p caret: where it goes (the next value, or past the last one), or
    /// -1 when the caret is not in the values (Tab then does what it always does).
    int next(int caret);

private:
    void dropGone();
    std::vector<QTextCursor> quotes_; ///< each just before its quote
    QTextCursor start_;               ///< where the values left begin (the first one's opening quote)
};
