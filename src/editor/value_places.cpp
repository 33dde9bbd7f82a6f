#include "value_places.h"

#include <QTextDocument>
#include <algorithm>

void ValuePlaces::set(QTextDocument* document, const std::vector<int>& quotes) {
    quotes_.clear();
    start_ = QTextCursor(document);
    start_.setPosition(quotes.empty() ? 0 : quotes.front() - 1);
    for (const int at : quotes) {
        QTextCursor cursor(document);
        cursor.setPosition(at);
        quotes_.push_back(cursor);
    }
}

void ValuePlaces::dropGone() {
    std::erase_if(quotes_, [](const QTextCursor& q) { return q.document()->characterAt(q.position()) != u'"'; });
}

int ValuePlaces::stepOverQuote(int caret) {
    dropGone();
    for (auto q = quotes_.begin(); q != quotes_.end(); ++q)
        if (q->position() == caret) {
            quotes_.erase(quotes_.begin(), q + 1); // the values before it are behind the user too
            start_.setPosition(caret + 1);
            return caret + 1;
        }
    return -1;
}

int ValuePlaces::next(int caret) {
    dropGone();
    // In the values: from the start of the first one left to the last one's closing quote.
    if (quotes_.empty() || caret > quotes_.back().position() || caret < start_.position()) {
        quotes_.clear();
        return -1;
    }
    const auto current = std::find_if(quotes_.begin(), quotes_.end(), [&](const QTextCursor& q) { return q.position() >= caret; });
    // Before a value (after a quote stepped over): into it.
    const QTextDocument* document = current->document();
    int opening = current->position() - 1;
    while (opening > 0 && document->characterAt(opening) != u'"')
        --opening;
    if (caret <= opening)
        return current->position();
    const int closing = current->position();
    quotes_.erase(quotes_.begin(), current + 1);
    start_.setPosition(closing + 1);
    if (quotes_.empty())
        return closing + 1;
    // Inside the next value: before its closing quote, after whatever it holds already.
    return quotes_.front().position();
}
