// The edit area's text: reading and replacing it, positions and selections in the CR LF text,
// the line ends a file keeps per line, and the colours of the text.
#include "edit_area.h"

#include "block_data.h"
#include "completer.h"
#include "edit_colours.h"
#include "layout_release.h"

#include <QTimer>
#include <QMimeData>
#include <QScopedValueRollback>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <array>

namespace {
// A run this long without a break opportunity makes word wrapping cost the square of the run:
// a minified script or a data string of a few hundred KB would take minutes to lay out.
constexpr qsizetype kLongestWordToWrap = 2000;

bool hasUnbreakableRun(QStringView text) {
    qsizetype run = 0;
    for (QChar c : text) {
        if (c.isSpace() || c == u'-')
            run = 0;
        else if (++run > kLongestWordToWrap)
            return true;
    }
    return false;
}
} // namespace

QString EditArea::text() const {
    finishLoading();
    if (openEditBlocks_ > 0)
        return crlfFromRaw(rawText());
    if (crlfSnapshot_.isNull()) {
        // Made from the raw snapshot when there is one, without keeping a raw one for it.
        const QString raw = rawSnapshot_.isNull() ? document()->toRawText() : rawSnapshot_;
        crlfSnapshot_ = crlfFromRaw(withoutSoftBreaks(raw, 0));
    }
    snapshotAsked();
    return crlfSnapshot_;
}

void EditArea::setText(const QString& text, const LineEndExceptions& lineEnds) {
    finishLoading();
    singleCaret();
    QTextCursor cursor(document());
    chooseWrap(text, true);
    replaceUncoloured([&] {
        cursor.select(QTextCursor::Document);
        insertText(cursor, text);
    });
    markLineEnds(lineEnds);
    cursor.movePosition(QTextCursor::Start);
    setTextCursor(cursor);
}

void EditArea::markLineEnds(const LineEndExceptions& lineEnds) {
    lineEndCount_ = int(lineEnds.size());
    for (const LineEndAt& at : lineEnds) {
        // The line end belongs to the line's last piece.
        const QTextBlock next = firstBlockOfLine(at.line + 1);
        QTextBlock block = next.isValid() ? next.previous() : document()->lastBlock();
        if (!block.isValid())
            continue;
        auto* data = new BlockData;
        data->lineEnd = at.style;
        block.setUserData(data);
    }
}

void EditArea::chooseWrap(QStringView changed, bool wholeText) {
    // Words wrap as always; only a page with an unbreakable run wraps anywhere, until it is
    // replaced by text without one.
    const bool anywhere =
        hasUnbreakableRun(changed) || (!wholeText && wordWrapMode() == QTextOption::WrapAnywhere);
    const auto mode = anywhere ? QTextOption::WrapAnywhere : QTextOption::WordWrap;
    if (wordWrapMode() != mode) {
        setWordWrapMode(mode);
        layoutRelease_->linesRelaidOut();
    }
}

void EditArea::replaceUncoloured(const std::function<void()>& replace, bool resetColours) {
    // The whole text is new and has no colour, so the painter need not look at its lines; on a
    // big page that look costs a quarter of the time.
    stopLiveColouring();
    const QScopedValueRollback pause(paintEdits_, false);
    replace();
    if (resetColours)
        colours_->reset();
}

LineEndExceptions EditArea::lineEndExceptions() const {
    finishLoading();
    LineEndExceptions out;
    if (lineEndCount_ == 0)
        return out; // nothing to look for in a file whose lines all end alike
    int line = 0;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (block.blockNumber() > 0 && !startsSoft(block))
            ++line;
        if (auto* data = static_cast<BlockData*>(block.userData()); data && data->lineEnd)
            out.push_back({line, *data->lineEnd});
    }
    return out;
}

void EditArea::clearLineEndExceptions() {
    finishLoading();
    if (lineEndCount_ == 0)
        return;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
        if (auto* data = static_cast<BlockData*>(block.userData()))
            data->lineEnd.reset();
    lineEndCount_ = 0;
}

int EditArea::selectionStart() const {
    return crlfFromDoc(DocumentPosition(textCursor().selectionStart())).value;
}

void EditArea::setCaretPosition(int pos) {
    QTextCursor cursor = textCursor();
    cursor.setPosition(docFromCrlf(CrlfPosition(pos)).value);
    setTextCursor(cursor);
}

int EditArea::selectionLength() const {
    const QTextCursor cursor = textCursor();
    return crlfFromDoc(DocumentPosition(cursor.selectionEnd())) - crlfFromDoc(DocumentPosition(cursor.selectionStart()));
}

void EditArea::setSelectionLength(int length) {
    const CrlfPosition start(selectionStart());
    QTextCursor cursor = textCursor();
    cursor.setPosition(docFromCrlf(start).value);
    cursor.setPosition(docFromCrlf(start + std::max(length, 0)).value, QTextCursor::KeepAnchor);
    setTextCursor(cursor);
}

QString EditArea::selectedText() const {
    const QTextCursor cursor = textCursor();
    QString text = withoutSoftBreaks(cursor.selectedText(), cursor.selectionStart());
    text.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    return text;
}

QString EditArea::lineText(int line) const {
    finishLoading();
    QTextBlock block = firstBlockOfLine(line - 1);
    QString text = block.text();
    for (block = block.next(); block.isValid() && startsSoft(block); block = block.next())
        text += block.text();
    return text;
}

void EditArea::selectInLine(int line, int column, int length) {
    finishLoading();
    setTextCursor(rangeInLine(line, column, length));
    centerCursor();
}

QTextCursor EditArea::rangeInLine(int line, int column, int length) const {
    line = std::clamp(line, 1, document()->blockCount() - softBreakCount());
    QTextCursor cursor(document());
    cursor.setPosition(docPositionOf(line, column));
    cursor.setPosition(docPositionOf(line, column + std::max(length, 0)), QTextCursor::KeepAnchor);
    return cursor;
}

void EditArea::insertFromMimeData(const QMimeData* source) {
    // Decided before the text goes in: laying it out is what would take minutes.
    if (!source->hasText())
        return;
    if (!extraCarets_.empty()) {
        pasteAtEveryCaret(source->text());
        return;
    }
    chooseWrap(source->text(), false);
    QTextCursor cursor = textCursor();
    insertText(cursor, source->text());
    setTextCursor(cursor);
    ensureCursorVisible();
}

void EditArea::replaceSelection(const QString& text) {
    finishLoading();
    chooseWrap(text, false);
    QTextCursor cursor = textCursor();
    insertText(cursor, text);
    setTextCursor(cursor);
}

void EditArea::replaceRanges(std::vector<std::pair<int, int>> ranges, const QString& replacement) {
    std::vector<Replacement> edits;
    edits.reserve(ranges.size());
    for (auto [start, length] : ranges)
        edits.push_back({start, length, replacement});
    replaceEach(std::move(edits));
}

void EditArea::replaceEach(std::vector<Replacement> edits) {
    finishLoading();
    if (edits.empty())
        return;
    std::sort(edits.begin(), edits.end(), [](const auto& a, const auto& b) { return a.start < b.start; });
    struct Span {
        int from, to, inserted = 0;
    };
    std::vector<CrlfPosition> ends;
    ends.reserve(edits.size() * 2);
    for (const Replacement& edit : edits) {
        ends.push_back(CrlfPosition(edit.start));
        ends.push_back(CrlfPosition(edit.start + edit.length));
    }
    const std::vector<DocumentPosition> inDocument = positions_.toDocumentAscending(ends);
    std::vector<Span> spans;
    spans.reserve(edits.size());
    for (size_t i = 0; i < edits.size(); ++i)
        spans.push_back({inDocument[2 * i].value, inDocument[2 * i + 1].value});
    const bool coloured = colours_->mayHaveColours();
    const int first = spans.front().from;
    const int last = spans.back().to;
    const std::vector<ColourModel::Index> before = coloured ? colours_->copy(first, last - first) : std::vector<ColourModel::Index>{};
    // The painter would repaint every line between the first and the last replacement at once;
    // the lines are repainted as they come into view instead.
    std::optional<QScopedValueRollback<bool>> pause(std::in_place, paintEdits_, false);
    QTextCursor cursor(document());
    const EditBlockScope scope(*this);
    cursor.beginEditBlock();
    // From the end, so that earlier positions stay true.
    for (size_t i = edits.size(); i-- > 0;) {
        chooseWrap(edits[i].text, false);
        cursor.setPosition(spans[i].from);
        cursor.setPosition(spans[i].to, QTextCursor::KeepAnchor);
        insertText(cursor, edits[i].text);
        spans[i].inserted = cursor.position() - spans[i].from;
    }
    if (coloured) {
        std::vector<ColourModel::Index> after;
        after.reserve(before.size());
        int copied = first;
        for (const Span& span : spans) {
            after.insert(after.end(), before.begin() + (copied - first), before.begin() + (span.from - first));
            // Character by character while the old text lasts, then the colour of its last one.
            for (int k = 0; k < span.inserted; ++k)
                after.push_back(span.to > span.from ? before[size_t(std::min(span.from + k, span.to - 1) - first)] : 0);
            copied = span.to;
        }
        colours_->replaceColours(first, before, std::move(after));
    }
    cursor.endEditBlock();
    colours_->replaceDone();
    pause.reset();
    viewport()->update();
}

void EditArea::colourSelection(Colour colour) {
    colourRange(selectionStart(), selectionLength(), colour);
}

void EditArea::colourRange(int start, int length, Colour colour) {
    const DocumentPosition from = docFromCrlf(CrlfPosition(start));
    colours_->fill(from.value, docFromCrlf(CrlfPosition(start + length)) - from, colour);
    viewport()->update();
}

std::optional<Colour> EditArea::colourAt(int pos) const {
    return colours_->at(docFromCrlf(CrlfPosition(pos)).value);
}

void EditArea::setColours(const std::vector<std::uint8_t>& colours, std::span<const Colour> palette) {
    finishLoading();
    colours_->assignFromText(colours, palette);
    viewport()->update();
    returnFreedMemorySoon(); // the pass's own buffers
}

void EditArea::clearColours() {
    colours_->stopLive();
    colours_->reset();
    viewport()->update();
}

std::vector<Colour> EditArea::textColours() const {
    finishLoading();
    return colours_->textColours();
}

void EditArea::startLiveColouring() {
    finishLoading();
    colours_->startLive(LiveScheme::Classic, softBreakPositions());
}

void EditArea::colourAsHtml5() {
    finishLoading();
    colours_->startLive(LiveScheme::Html5, {}, language_);
    viewport()->update();
    returnFreedMemorySoon();
}

void EditArea::stopLiveColouring() {
    colours_->stopLive();
}

bool EditArea::hasColours() const {
    return colours_->mayHaveColours();
}

EditArea::LiveScheme EditArea::liveScheme() const {
    return colours_->liveScheme();
}

void EditArea::setLanguage(Language language) {
    if (language == language_)
        return;
    language_ = language;
    completer_->hide();
    // Colours kept true as the text is edited follow the new lexer.
    if (liveScheme() == LiveScheme::Html5)
        colourAsHtml5();
    emit languageChanged();
}
