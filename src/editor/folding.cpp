#include "folding.h"

#include "edit_area.h"
#include "matching_tags.h"

#include <QAbstractTextDocumentLayout>
#include <QPlainTextDocumentLayout>
#include <QTextDocument>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>

Folding::Folding(EditArea* area) : QObject(area), area_(area) {
    connect(area->document(), &QTextDocument::contentsChange, this, &Folding::textChanged);
    connect(area, &QPlainTextEdit::cursorPositionChanged, this, &Folding::caretMoved);
    pause_.setSingleShot(true);
    pause_.setInterval(kPauseMs);
    connect(&pause_, &QTimer::timeout, this, &Folding::readSoon);
    connect(&reading_, &QFutureWatcher<std::vector<folds::Range>>::finished, this, [this] {
        if (readingFor_ == generation_ && stale_) {
            adopt(reading_.result());
            if (QWidget* gutter = area_->lineNumberGutter())
                gutter->update();
        } else if (stale_ && (area_->foldMarkersVisible() || commandsUsed_)) {
            pause_.start();
        }
    });
}

Folding::~Folding() {
    reading_.disconnect(this);
    reading_.waitForFinished();
}

void Folding::readSoon() {
    if (reading_.isRunning() || !stale_ || area_->isLoading()) {
        if (area_->isLoading())
            pause_.start();
        return;
    }
    readingFor_ = generation_;
    reading_.setFuture(QtConcurrent::run([text = area_->documentText(), language = area_->language()] {
        return folds::of(text, language, language::isMarkup(language) ? TagMap::build(text) : TagMap());
    }));
}

QTextBlock Folding::firstOfLine(QTextBlock block) const {
    if (area_->softBreakCount() == 0)
        return block; // a line is a block
    while (block.isValid() && EditArea::startsSoft(block) && block.previous().isValid())
        block = block.previous();
    return block;
}

QTextBlock Folding::lastOfLine(QTextBlock block) const {
    if (area_->softBreakCount() == 0)
        return block;
    while (block.next().isValid() && EditArea::startsSoft(block.next()))
        block = block.next();
    return block;
}

std::optional<Folding::Hidden> Folding::hiddenBy(int start, int end) const {
    const QTextDocument* document = area_->document();
    const QTextBlock startBlock = document->findBlock(start);
    const QTextBlock first = lastOfLine(startBlock).next();
    const QTextBlock endBlock = document->findBlock(std::max(start, end - 1));
    if (!first.isValid() || endBlock.blockNumber() < first.blockNumber())
        return std::nullopt;
    QTextBlock last = lastOfLine(endBlock);
    // Text after the range on its last line stays in sight, with that line.
    bool onlySpaceAfter = true;
    const int lineEnd = last.position() + last.length() - 1;
    for (int i = end; i < lineEnd && onlySpaceAfter; ++i)
        onlySpaceAfter = document->characterAt(i).isSpace(); // a soft break reads as a space too
    if (!onlySpaceAfter)
        last = firstOfLine(endBlock).previous();
    if (!last.isValid() || last.blockNumber() < first.blockNumber())
        return std::nullopt;
    return Hidden{first, last, onlySpaceAfter};
}

const std::vector<folds::Range>& Folding::ranges() {
    if (!stale_)
        return ranges_;
    commandsUsed_ = true;
    area_->finishLoading();
    static const TagMap kNoMap;
    const Language language = area_->language();
    const QString text = area_->documentText();
    adopt(folds::of(text, language, language::isMarkup(language) ? area_->matchingTags()->currentMap() : kNoMap));
    return ranges_;
}

void Folding::adopt(std::vector<folds::Range> all) {
    ranges_.clear();
    depths_.clear();
    std::vector<qsizetype> open; // ends of the ranges holding the one read
    for (folds::Range& range : all) {
        if (!hiddenBy(int(range.start), int(range.end)))
            continue;
        while (!open.empty() && open.back() <= range.start)
            open.pop_back();
        depths_.push_back(int(open.size()) + 1);
        open.push_back(range.end);
        ranges_.push_back(std::move(range));
    }
    stale_ = false;
}

const std::vector<int>& Folding::depths() {
    ranges();
    return depths_;
}

Folding::Fold Folding::makeFold(const folds::Range& range) const {
    return Fold{int(range.start), int(range.end), range.opening, range.closing, blocksOf(int(range.start), int(range.end))};
}

void Folding::hide(const Fold& fold) {
    if (const auto hidden = hiddenBy(fold.start, fold.end))
        for (QTextBlock b = hidden->first; b.isValid(); b = b.next()) {
            b.setVisible(false);
            if (b == hidden->last)
                break;
        }
}

void Folding::relayout(int from, int to) {
    QTextDocument* document = area_->document();
    to = std::min(to, document->characterCount() - 1);
    if (to < from)
        return;
    document->markContentsDirty(from, to - from);
    if (auto* layout = qobject_cast<QPlainTextDocumentLayout*>(document->documentLayout()))
        layout->requestUpdate();
    area_->viewport()->update();
    emit foldsChanged();
}

void Folding::reveal(size_t index) {
    const Fold fold = folds_[index];
    folds_.erase(folds_.begin() + qsizetype(index));
    showAgain(fold.start, std::max(fold.end, fold.start));
}

void Folding::showAgain(int from, int to) {
    QTextDocument* document = area_->document();
    const QTextBlock last = document->findBlock(to);
    for (QTextBlock b = document->findBlock(from); b.isValid(); b = b.next()) {
        b.setVisible(true);
        if (b == last)
            break;
    }
    // Folds inside it, or around it, keep their lines hidden.
    for (const Fold& other : folds_)
        if (other.start <= to && other.end >= from)
            hide(other);
    relayout(from, to + 1);
}

int Folding::innermostRangeAt(const QTextBlock& block, bool unfoldedOnly) {
    const std::vector<folds::Range>& all = ranges();
    const auto [lineStart, lineEnd] = lineSpan(block);
    int found = -1;
    for (size_t i = 0; i < all.size() && all[i].start <= lineEnd; ++i) {
        if (all[i].end < lineStart)
            continue;
        const bool folded = std::any_of(folds_.begin(), folds_.end(), [&](const Fold& f) {
            return f.start == all[i].start && f.end == all[i].end;
        });
        if (!(unfoldedOnly && folded))
            found = int(i);
    }
    return found;
}

bool Folding::foldAtCaret() {
    const int index = innermostRangeAt(area_->textCursor().block(), true);
    if (index < 0)
        return false;
    Fold fold = makeFold(ranges_[size_t(index)]);
    const auto at = std::upper_bound(folds_.begin(), folds_.end(), fold.start,
                                     [](int start, const Fold& f) { return start < f.start; });
    folds_.insert(at, fold);
    hide(fold);
    // The caret leaves the lines it hid for the end of the first.
    if (!area_->textCursor().block().isVisible()) {
        QTextCursor caret = area_->textCursor();
        const QTextBlock firstLineEnd = lastOfLine(area_->document()->findBlock(fold.start));
        caret.setPosition(firstLineEnd.position() + firstLineEnd.length() - 1);
        area_->setTextCursor(caret);
    }
    relayout(fold.start, fold.end + 1);
    return true;
}

std::pair<int, int> Folding::lineSpan(const QTextBlock& block) const {
    const QTextBlock last = lastOfLine(block);
    return {firstOfLine(block).position(), last.position() + last.length() - 1};
}

bool Folding::unfoldLine(const QTextBlock& block) {
    const auto [lineStart, lineEnd] = lineSpan(block);
    bool any = false;
    for (size_t i = folds_.size(); i-- > 0;)
        if (folds_[i].start >= lineStart && folds_[i].start <= lineEnd) {
            reveal(i);
            any = true;
        }
    return any;
}

bool Folding::unfoldAtCaret() {
    if (unfoldLine(area_->textCursor().block()))
        return true;
    const int caret = area_->textCursor().position();
    for (size_t i = folds_.size(); i-- > 0;)
        if (folds_[i].start <= caret && folds_[i].end >= caret) {
            reveal(i);
            return true;
        }
    return false;
}

void Folding::foldAll() {
    foldWhere([](size_t) { return true; });
}

void Folding::foldWhere(const std::function<bool(size_t)>& wanted) {
    const std::vector<folds::Range>& all = ranges();
    unfoldAll();
    qsizetype outerEnd = -1;
    for (size_t i = 0; i < all.size(); ++i) {
        if (!wanted(i))
            continue;
        folds_.push_back(makeFold(all[i]));
        // Lines inside an outer fold are hidden by it already.
        if (all[i].start >= outerEnd) {
            hide(folds_.back());
            outerEnd = all[i].end;
        }
    }
    if (folds_.empty())
        return;
    // The caret goes to the end of the line in sight above where it was.
    QTextCursor caret = area_->textCursor();
    if (!caret.block().isVisible()) {
        QTextBlock b = caret.block();
        while (b.isValid() && !b.isVisible())
            b = b.previous();
        caret.setPosition(b.isValid() ? b.position() + b.length() - 1 : 0);
        area_->setTextCursor(caret);
    }
    relayout(folds_.front().start, folds_.back().end + 1);
}

void Folding::unfoldAll() {
    if (folds_.empty())
        return;
    int from = area_->document()->characterCount();
    int to = 0;
    for (const Fold& fold : folds_) {
        from = std::min(from, fold.start);
        to = std::max(to, fold.end);
    }
    folds_.clear();
    showAgain(from, to);
}

void Folding::foldToLevel(int level) {
    foldWhere([this, level](size_t i) { return depths_[i] == level; });
}

bool Folding::toggleLine(const QTextBlock& block) {
    if (unfoldLine(block))
        return true;
    const auto [lineStart, lineEnd] = lineSpan(block);
    const std::vector<folds::Range>& all = ranges();
    const auto first = std::lower_bound(all.begin(), all.end(), lineStart,
                                        [](const folds::Range& r, int start) { return r.start < start; });
    if (first == all.end() || first->start > lineEnd)
        return false;
    QTextCursor caret = area_->textCursor();
    caret.setPosition(int(first->start));
    area_->setTextCursor(caret);
    return foldAtCaret();
}

Folding::Mark Folding::markOf(const QTextBlock& block) {
    if (EditArea::startsSoft(block))
        return Mark::None;
    const auto [lineStart, lineEnd] = lineSpan(block);
    for (const Fold& fold : folds_)
        if (fold.start >= lineStart && fold.start <= lineEnd)
            return Mark::Folded;
    const auto first = std::lower_bound(ranges_.begin(), ranges_.end(), lineStart,
                                        [](const folds::Range& r, int start) { return r.start < start; });
    return first != ranges_.end() && first->start <= lineEnd ? Mark::Open : Mark::None;
}

std::optional<QString> Folding::placeholderAfter(const QTextBlock& block) const {
    if (folds_.empty() || (block.next().isValid() && EditArea::startsSoft(block.next())))
        return std::nullopt;
    const int lineStart = firstOfLine(block).position();
    const int lineEnd = block.position() + block.length() - 1;
    const auto first = std::lower_bound(folds_.begin(), folds_.end(), lineStart,
                                        [](const Fold& f, int start) { return f.start < start; });
    if (first == folds_.end() || first->start > lineEnd)
        return std::nullopt;
    const auto hidden = hiddenBy(first->start, first->end);
    return hidden && hidden->lastLineHidden ? QStringLiteral("…") + first->closing : QStringLiteral("…");
}

int Folding::blocksOf(int start, int end) const {
    const QTextDocument* document = area_->document();
    return document->findBlock(end).blockNumber() - document->findBlock(start).blockNumber();
}

void Folding::textChanged(int position, int removed, int added) {
    stale_ = true;
    ++generation_;
    // Read again on a worker once typing pauses, for the gutter, and for the next fold command
    // once one was used: a command then finds them read.
    if (area_->foldMarkersVisible() || commandsUsed_)
        pause_.start();
    // The gutter goes on showing the stretches read before, moved with the text, until they are read again.
    const int delta = added - removed;
    if (position == 0 && added >= area_->document()->characterCount() - 1)
        ranges_.clear();
    for (folds::Range& range : ranges_) {
        if (range.end <= position)
            continue;
        if (range.start >= position + removed)
            range.start += delta;
        range.end = std::max<qsizetype>(range.end + delta, range.start);
    }
    if (folds_.empty())
        return;
    const QTextDocument* document = area_->document();
    if (position == 0 && added >= document->characterCount() - 1) {
        folds_.clear(); // a new text: its blocks are all new, and shown
        emit foldsChanged();
        return;
    }
    // Positions are kept as numbers and moved here: a cursor per fold would cost every edit
    // and every fold a layout.
    std::vector<std::pair<int, int>> opened; // the stretches of folds the edit undid, in new positions
    for (size_t i = folds_.size(); i-- > 0;) {
        Fold& fold = folds_[i];
        if (fold.end <= position)
            continue;
        if (fold.start >= position + removed) {
            fold.start += delta;
            fold.end += delta;
            continue;
        }
        // The edit is in the fold: it stands if it stayed on the first line, after the start.
        fold.end = std::max(fold.end + delta, position + added);
        bool keep = fold.start <= position && blocksOf(fold.start, fold.end) == fold.blocks;
        if (keep) {
            const QTextBlock firstLineEnd = lastOfLine(document->findBlock(fold.start));
            keep = position + added <= firstLineEnd.position() + firstLineEnd.length() - 1;
        }
        for (int k = 0; keep && k < fold.opening.size(); ++k)
            keep = document->characterAt(fold.start + k).toLower() == fold.opening[k].toLower();
        if (!keep) {
            opened.emplace_back(std::min(fold.start, position), fold.end);
            folds_.erase(folds_.begin() + qsizetype(i));
        }
    }
    for (const auto& [from, to] : opened)
        showAgain(from, to);
}

void Folding::caretMoved() {
    QTextCursor caret = area_->textCursor();
    const int before = std::exchange(caretBefore_, caret.position());
    if (caret.block().isVisible())
        return;
    if (keyMoving_) {
        // An arrow key steps over the hidden lines, the way it went.
        QTextBlock b = caret.block();
        const bool forward = caret.position() > before;
        while (b.isValid() && !b.isVisible())
            b = forward ? b.next() : b.previous();
        if (b.isValid()) {
            const int to = forward ? b.position() : b.position() + b.length() - 1;
            caret.setPosition(to, caret.hasSelection() ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
            area_->setTextCursor(caret);
            return;
        }
    }
    const int at = caret.position();
    for (size_t i = folds_.size(); i-- > 0;)
        if (folds_[i].start <= at && folds_[i].end >= at)
            reveal(i);
    // A block hidden by no fold still standing (left by an edit) is shown.
    if (!area_->textCursor().block().isVisible()) {
        QTextBlock b = area_->textCursor().block();
        b.setVisible(true);
        relayout(b.position(), b.position() + b.length());
    }
}
