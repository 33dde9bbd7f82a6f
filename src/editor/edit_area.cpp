#include "edit_area.h"

#include "base/regular_file.h"
#include "block_data.h"
#include "layout_release.h"
#include "page_loader.h"
#include "edit_colours.h"
#include "typing/completion.h"
#include "typing/css_colour.h"
#include "colouring/html5_scheme.h"
#include "completer.h"
#include "folding.h"
#include "matching_tags.h"
#include "tag_pair_rename.h"
#include "value_places.h"
#include "base/memory_advice.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QPainter>
#include <QUrl>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QToolTip>
#include <QKeyEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>
#include <algorithm>

bool EditArea::installFoldingLayout() {
    auto* text = new QTextDocument(this);
    text->setDocumentLayout(new FoldingLayout(text));
    setDocument(text);
    return true;
}

EditArea::EditArea(QWidget* parent) : QPlainTextEdit(parent) {
    // Every part that follows edits hears of them from onContentsChange(), in its order.
    connect(document(), &QTextDocument::contentsChange, this, &EditArea::onContentsChange);
    snapshotRelease_ = new QTimer(this);
    snapshotRelease_->setInterval(kSnapshotCheckMs);
    connect(snapshotRelease_, &QTimer::timeout, this, [this] {
        // Kept while a reader still holds it, and for a moment after it was last asked for; a
        // reader that comes later makes its own.
        const auto unused = [](const QString& s) { return s.isNull() || s.isDetached(); };
        if (!(unused(rawSnapshot_) && unused(crlfSnapshot_)) && snapshotAsked_.elapsed() < kSnapshotKeptMs)
            return;
        snapshotRelease_->stop();
        const bool big = std::max(rawSnapshot_.size(), crlfSnapshot_.size()) > kBigPageCharacters;
        dropSnapshots();
        // The heap would keep the copy's memory.
        if (big)
            returnFreedMemory();
    });
    colours_ = new EditColours(*document(), this);
    colours_->setLineFormats([this](const QTextBlock& block, QList<QTextLayout::FormatRange>& formats) {
        makeRoomForSwatches(block, formats);
    });
    matchingTags_ = new MatchingTags(this);
    folding_ = new Folding(this);
    completer_ = new Completer(this);
    tagPairRename_ = std::make_unique<TagPairRename>(*this);
    valuePlaces_ = std::make_unique<ValuePlaces>();
    loader_ = new PageLoader([this] { loadNextPiece(); }, this);
    layoutRelease_ = new LayoutRelease(
        document(),
        [this] {
            const QTextCursor cursor = textCursor();
            return LayoutRelease::Kept{firstVisibleBlock().blockNumber(),
                                       cursorForPosition(QPoint(0, viewport()->height())).blockNumber(),
                                       cursor.blockNumber(), document()->findBlock(cursor.anchor()).blockNumber()};
        },
        this);
    if (auto* folding = dynamic_cast<FoldingLayout*>(document()->documentLayout()))
        folding->laidOut = [this](const QTextBlock& block) { layoutRelease_->lineLaidOut(block.blockNumber()); };
    // Repaints the layout asks for after an edit go through repaintContents(), which keeps
    // them to the edited lines when nothing else moved; the widget would repaint the whole view.
    QAbstractTextDocumentLayout* layout = document()->documentLayout();
    if (!disconnect(layout, &QAbstractTextDocumentLayout::update, nullptr, nullptr))
        qWarning("Tagloom: the text layout's repaint requests had no receiver; edits repaint as Qt does");
    connect(layout, &QAbstractTextDocumentLayout::update, this, &EditArea::repaintContents);
    connect(document()->documentLayout(), &QAbstractTextDocumentLayout::updateBlock, this,
            [this] { repaintNarrowing_.forget(); });
}

void EditArea::repaintContents(const QRectF& rect) {
    if (const auto blocks = repaintNarrowing_.narrowed(rect)) {
        // Through the lines in view only, which are laid out already: asking where a line out
        // of view is would lay it out (soft marks set while a long line loads).
        updateVisibleBlocks([&](const QTextBlock& block) {
            return block.blockNumber() >= blocks->first && block.blockNumber() <= blocks->last;
        });
        return;
    }
    // The plain text layout asks for everything from the changed line down (it knows no
    // positions): the view, and the line numbers beside it.
    viewport()->update();
    emit updateRequest(viewport()->rect(), 0);
}

void EditArea::updateVisibleBlocks(const std::function<bool(const QTextBlock&)>& wanted) {
    QTextBlock block = firstVisibleBlock();
    qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
    for (; block.isValid() && top <= viewport()->height(); block = block.next()) {
        const qreal height = blockBoundingRect(block).height();
        if (wanted(block))
            viewport()->update(QRect(0, int(top), viewport()->width(), int(height) + 1));
        top += height;
    }
}

EditArea::~EditArea() {
    // Tearing down is no edit to keep colours true through; and the painter reads the model
    // while the document is torn down, so it is detached first.
    disconnect(document(), &QTextDocument::contentsChange, this, nullptr);
    disconnect(document()->documentLayout(), nullptr, this, nullptr);
    if (auto* folding = dynamic_cast<FoldingLayout*>(document()->documentLayout()))
        folding->laidOut = nullptr;
    colours_->stopLive();
}

void EditArea::showRecoloured(int first, int last) {
    if (first >= last)
        return;
    // Lines out of view are painted afresh when they come into view.
    for (QTextBlock block = document()->findBlock(first); block.isValid() && block.position() < last;
         block = block.next())
        if (auto* data = static_cast<BlockData*>(block.userData()))
            data->paintedGeneration = 0;
    updateVisibleBlocks([&](const QTextBlock& block) {
        return block.position() + block.length() > first && block.position() < last;
    });
}

void EditArea::onContentsChange(int position, int removed, int added) {
    dropSnapshots();
    // The one description of the edit; the parts hear of it in this order.
    const QTextBlock last = document()->findBlock(position + added + (removed > 0 ? 1 : 0));
    const TextChange change{position, removed, added, document()->findBlock(position).blockNumber(),
                            last.isValid() ? last.blockNumber() : document()->blockCount() - 1};
    softBreaks_.changed();
    repaintNarrowing_.noteEdit(change.position, change.added);
    completer_->documentChanged(change.position);
    const auto [first, end] = colours_->textChanged(change, paintEdits_);
    showRecoloured(first, end);
    emit edited();
}

void EditArea::mousePressEvent(QMouseEvent* e) {
    if (caretMouse(e)) {
        e->accept();
        return;
    }
    // A fold's placeholder opens it.
    if (e->button() == Qt::LeftButton)
        for (const auto& [box, lineEnd] : foldPlaceholders_)
            if (box.contains(e->position())) {
                QTextCursor cursor = textCursor();
                cursor.setPosition(lineEnd);
                setTextCursor(cursor);
                folding_->unfoldAtCaret();
                e->accept();
                return;
            }
    // A swatch is found where it is painted: on the line clicked.
    if (e->button() == Qt::LeftButton && e->modifiers() == Qt::NoModifier)
        for (const Swatch& swatch : swatchesIn(cursorForPosition(e->position().toPoint()).block()))
            if (swatch.rect.toAlignedRect().adjusted(-1, -1, 1, 1).contains(e->position().toPoint())) {
                QTextCursor cursor = textCursor();
                cursor.setPosition(swatch.position);
                setTextCursor(cursor);
                emit swatchClicked();
                e->accept();
                return;
            }
    if (e->button() == Qt::LeftButton && e->modifiers() == Qt::ControlModifier) {
        const QTextCursor at = cursorForPosition(e->position().toPoint());
        const QString line = at.block().text();
        const int column = at.positionInBlock();
        static const QRegularExpression link(QStringLiteral("\\b(?:href|src)\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s>\"']+))"),
                                             QRegularExpression::CaseInsensitiveOption);
        for (auto it = link.globalMatch(line); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            if (column < m.capturedStart() || column > m.capturedEnd())
                continue;
            for (int group = 1; group <= 3; ++group)
                if (m.capturedStart(group) >= 0) {
                    emit linkClicked(m.captured(group));
                    e->accept();
                    return;
                }
        }
    }
    QPlainTextEdit::mousePressEvent(e);
}

QString EditArea::imageSizeAt(const QString& line, int column) const {
    if (documentFolder_.isEmpty())
        return {};
    static const QRegularExpression path(QStringLiteral("(?:\\b(?:src|href|poster|data)\\s*=\\s*[\"']?|url\\(\\s*[\"']?)"
                                                        "([^\"'\\s>)]+\\.(?:png|jpe?g|gif|webp|svg|bmp|ico))"),
                                         QRegularExpression::CaseInsensitiveOption);
    for (auto it = path.globalMatch(line); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (column < m.capturedStart(1) || column > m.capturedEnd(1))
            continue;
        const QString address = m.captured(1);
        if (address.contains(u':') || address.startsWith(u'/'))
            return {};
        const QSize size = regular_file::imageSize(QDir(documentFolder_).filePath(QUrl::fromPercentEncoding(address.toUtf8())));
        return size.isValid() ? QStringLiteral("%1 × %2 pixels").arg(size.width()).arg(size.height()) : QString();
    }
    return {};
}

bool EditArea::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        // A mark's note (a problem found as the page was checked, a tag with no partner).
        const auto* help = static_cast<QHelpEvent*>(e);
        const int at = cursorForPosition(viewport()->mapFromGlobal(help->globalPos())).position();
        for (const auto& group : highlights_)
            for (const QTextEdit::ExtraSelection& mark : group)
                if (!mark.format.toolTip().isEmpty() && mark.cursor.selectionStart() <= at && at <= mark.cursor.selectionEnd()) {
                    QToolTip::showText(help->globalPos(), mark.format.toolTip(), viewport());
                    return true;
                }
        // An image's path: its size.
        const QTextCursor at2 = cursorForPosition(viewport()->mapFromGlobal(help->globalPos()));
        if (const QString size = imageSizeAt(at2.block().text(), at2.positionInBlock()); !size.isEmpty()) {
            QToolTip::showText(help->globalPos(), size, viewport());
            return true;
        }
        QToolTip::hideText();
        e->ignore();
        return true;
    }
    if (e->type() == QEvent::ShortcutOverride) {
        const QKeySequence pressed(static_cast<QKeyEvent*>(e)->keyCombination());
        if (reserved_.contains(pressed)) {
            // Leave the key to the menu (on Windows the editor would take Ctrl+Y as Redo).
            e->ignore();
            return true;
        }
    }
    return QPlainTextEdit::event(e);
}

void EditArea::keyPressEvent(QKeyEvent* e) {
    // A key moving the caret onto a folded line steps over the fold.
    folding_->setKeyMoving(true);
    const auto moved = qScopeGuard([this] {
        folding_->setKeyMoving(false);
        layoutRelease_->releaseIfDue();
    });
    // A key that edits a page still loading waits for the rest of it rather than being lost, and
    // every key after it waits too, so that they go in as they were typed. The load goes on in
    // its steps meanwhile: the window never waits for the whole page.
    if (!queuedKeys_.empty() || (isLoading() && editsText(e))) {
        queuedKeys_.push_back(std::make_unique<QKeyEvent>(e->type(), e->key(), e->modifiers(), e->nativeScanCode(),
                                                          e->nativeVirtualKey(), e->nativeModifiers(), e->text(),
                                                          e->isAutoRepeat(), e->count()));
        e->accept();
        return;
    }
    // A chord with Alt or Ctrl is a command, never text: Alt+F where no menu answers it types
    // nothing. The editor still gets the key without its text, for its own commands (Ctrl+V).
    // Ctrl and Alt together are AltGr on Windows, which types characters such as @.
    const Qt::KeyboardModifiers chord = e->modifiers() & (Qt::AltModifier | Qt::ControlModifier);
    if (chord && chord != (Qt::AltModifier | Qt::ControlModifier) && !e->text().isEmpty() && e->text()[0].isPrint()) {
        QKeyEvent command(e->type(), e->key(), e->modifiers(), e->nativeScanCode(), e->nativeVirtualKey(),
                          e->nativeModifiers(), QString(), e->isAutoRepeat(), e->count());
        keyPressEvent(&command);
        e->setAccepted(command.isAccepted());
        return;
    }
    if (completer_->takeKey(e))
        return;
    if (multiCaretKey(e))
        return;
    if (valuePlaceKey(e)) {
        completer_->keyHandled(e);
        return;
    }
    if (indentKey(e))
        return;
    if (expandOnTab_ && language::isHtml(language_) && e->key() == Qt::Key_Tab && e->modifiers() == Qt::NoModifier && expandAbbreviation())
        return;
    if (keepIndentKey(e) || closeBracketKey(e)) {
        completer_->keyHandled(e);
        return;
    }
    if (renameTagPairs_ && language::isMarkup(language_) && !isReadOnly() && editsText(e) && tagPairRename_->type(e)) {
        completer_->keyHandled(e);
        return;
    }
    if (e->key() == Qt::Key_Insert && e->modifiers() == Qt::NoModifier) {
        setOverwriteMode(!overwriteMode());
        emit overwriteModeChanged(overwriteMode());
        return;
    }
    // Shift+Enter would insert a line separator that is no CR LF line end; make it a real one.
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && (e->modifiers() & Qt::ShiftModifier)) {
        QKeyEvent plain(e->type(), e->key(), e->modifiers() & ~Qt::ShiftModifier, e->text());
        if (!handleKeyAtSoftBreak(&plain))
            QPlainTextEdit::keyPressEvent(&plain);
    } else if (!handleKeyAtSoftBreak(e)) {
        QPlainTextEdit::keyPressEvent(e);
        if (completeEndTags_ && language::isMarkup(language_) && !isReadOnly() && e->text() == QStringLiteral("/"))
            completeEndTag();
    }
    completer_->keyHandled(e);
}

void EditArea::setHighlights(Highlights group, const QList<QTextEdit::ExtraSelection>& marks) {
    highlights_[size_t(group)] = marks;
    QList<QTextEdit::ExtraSelection> all;
    for (const auto& g : highlights_)
        all += g;
    setExtraSelections(all);
}

void EditArea::paintEvent(QPaintEvent* e) {
    repaintStaleVisibleBlocks(e->rect());
    QPlainTextEdit::paintEvent(e);
    paintSwatches(e->rect());
    paintFoldPlaceholders(e->rect());
    paintCarets(e->rect());
}

void EditArea::paintFoldPlaceholders(const QRect& area) {
    foldPlaceholders_.clear();
    if (folding_->foldCount() == 0)
        return;
    QPainter painter(viewport());
    painter.setFont(font());
    const QPalette& colours = palette();
    QTextBlock block = firstVisibleBlock();
    qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
    for (; block.isValid() && top <= area.bottom(); block = block.next()) {
        if (!block.isVisible())
            continue;
        const qreal height = blockBoundingRect(block).height();
        if (const std::optional<QString> placeholder = folding_->placeholderAfter(block)) {
            const QTextLayout* layout = block.layout();
            const QTextLine last = layout && layout->lineCount() > 0 ? layout->lineAt(layout->lineCount() - 1) : QTextLine();
            const qreal left = contentOffset().x() + (last.isValid() ? last.naturalTextRect().right() : 0) + 6;
            const qreal lineTop = top + (last.isValid() ? last.y() : 0);
            const QRectF box(left, lineTop + 1, fontMetrics().horizontalAdvance(*placeholder) + 8, fontMetrics().height() - 2);
            painter.setPen(colours.color(QPalette::PlaceholderText));
            painter.setBrush(colours.color(QPalette::AlternateBase));
            painter.drawRoundedRect(box, 3, 3);
            painter.drawText(box, Qt::AlignCenter, *placeholder);
            foldPlaceholders_.emplace_back(box, block.position() + block.length() - 1);
        }
        top += height;
    }
}

std::vector<EditArea::WrittenColour> EditArea::cssColoursIn(const QTextBlock& block) const {
    std::vector<WrittenColour> out;
    // Only where the text's own colours say CSS (a style sheet, a page's style coloured by the
    // HTML5 scheme): "red" in a sentence is no colour.
    if (liveScheme() != LiveScheme::Html5)
        return out;
    const Colour hex = html5_scheme::kPalette[html5_scheme::CssColour];
    const Colour keyword = html5_scheme::kPalette[html5_scheme::CssValue];
    // Most lines of a page hold no CSS value at all: their colours say so without reading them.
    const ColourModel& model = colours_->model();
    bool any = false;
    model.forEachRun(block.position(), block.length() - 1, [&](int, int, ColourModel::Index index) {
        any = any || (index != 0 && (model.colourOf(index) == hex || model.colourOf(index) == keyword));
    });
    if (!any)
        return out;
    const auto coloredAsCss = [&](int start) {
        const std::optional<Colour> kind = colours_->at(block.position() + start);
        return kind && (*kind == hex || *kind == keyword);
    };
    for (const css_colour::Found& found : css_colour::findAll(block.text(), coloredAsCss))
        out.push_back({found.start, found.length, found.colour});
    return out;
}

// The side of a swatch: most of a capital's height.
qreal EditArea::swatchSide() const {
    return std::max<qreal>(4, std::round(fontMetrics().ascent() * 0.6));
}

void EditArea::makeRoomForSwatches(const QTextBlock& block, QList<QTextLayout::FormatRange>& formats) const {
    if (liveScheme() != LiveScheme::Html5 || !(language_ == Language::Css || language_ == Language::Html))
        return;
    // The space before a colour is widened to hold its swatch with a pixel either side, as the
    // layout lays it out: the swatch never covers a character.
    const qreal extra = swatchSide() + 3 - fontMetrics().horizontalAdvance(u' ');
    if (extra <= 0)
        return;
    QTextCharFormat wider;
    wider.setFontLetterSpacingType(QFont::AbsoluteSpacing);
    wider.setFontLetterSpacing(extra);
    const QString text = block.text();
    for (const WrittenColour& written : cssColoursIn(block))
        if (written.start > 0 && text[written.start - 1].isSpace())
            formats << QTextLayout::FormatRange{written.start - 1, 1, wider};
}

std::vector<EditArea::Swatch> EditArea::swatchesIn(const QTextBlock& block) const {
    std::vector<Swatch> out;
    if (liveScheme() != LiveScheme::Html5 || !(language_ == Language::Css || language_ == Language::Html))
        return out;
    const QRectF box = blockBoundingGeometry(block).translated(contentOffset());
    const QTextLayout* layout = block.layout();
    for (const WrittenColour& written : cssColoursIn(block)) {
        const QTextLine line = layout->lineForTextPosition(written.start);
        if (!line.isValid())
            continue;
        // A square in the space before the colour, or a bar under it when there is none.
        const qreal x = line.cursorToX(written.start);
        const qreal top = box.top() + line.y();
        const bool room = written.start > 0 && block.text()[written.start - 1].isSpace();
        // As wide as the space allows, so that it never covers a character.
        const qreal space = room ? x - line.cursorToX(written.start - 1) : 0;
        const qreal side = std::clamp<qreal>(space - 3, 1, swatchSide());
        const QRectF rect = room ? QRectF(x - side - 1.5, top + (line.ascent() - side) / 2 + 1, side, side)
                                 : QRectF(x, top + line.ascent() + 1, line.cursorToX(written.start + written.length) - x, 2);
        out.push_back({rect, written.colour, room, block.position() + written.start});
    }
    return out;
}

void EditArea::paintSwatches(const QRect& area) {
    if (liveScheme() != LiveScheme::Html5)
        return;
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::Text));
    const QPointF offset = contentOffset();
    for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
        const QRectF box = blockBoundingGeometry(block).translated(offset);
        if (box.top() > area.bottom())
            break;
        // The lines being painted only: the caret's blink paints one.
        if (box.bottom() < area.top())
            continue;
        for (const Swatch& swatch : swatchesIn(block)) {
            painter.fillRect(swatch.rect, swatch.colour);
            if (swatch.square)
                painter.drawRect(swatch.rect);
        }
    }
}

void EditArea::rewriteColour(const WrittenColour& written, const QColor& colour) {
    // A colour is written on one line: its text is the document's between the two positions.
    QTextCursor range(document());
    range.setPosition(docFromCrlf(CrlfPosition(written.start)).value);
    range.setPosition(docFromCrlf(CrlfPosition(written.start + written.length)).value, QTextCursor::KeepAnchor);
    const QString original = range.selectedText();
    replaceRanges({{written.start, written.length}}, css_colour::format(colour, original));
}

std::optional<EditArea::WrittenColour> EditArea::colourAtCaret() const {
    const QTextCursor caret = textCursor();
    const int column = caret.positionInBlock();
    for (const WrittenColour& written : cssColoursIn(caret.block()))
        if (column >= written.start && column <= written.start + written.length) {
            const DocumentPosition start(caret.block().position() + written.start);
            return WrittenColour{crlfFromDoc(start).value, crlfFromDoc(start + written.length) - crlfFromDoc(start), written.colour};
        }
    return std::nullopt;
}

void EditArea::repaintStaleVisibleBlocks(const QRect& area) {
    // Only the lines in the area being painted: the caret's blink paints one line.
    QTextBlock block = firstVisibleBlock();
    qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
    layoutRelease_->viewShows();
    while (block.isValid() && top <= area.bottom()) {
        if (!block.isVisible()) { // folded away
            block = block.next();
            continue;
        }
        const qreal height = blockBoundingRect(block).height();
        if (top + height >= area.top()) {
            if (colours_->isStale(block)) {
                // Its new formats lay it out again; only it needs painting then.
                repaintNarrowing_.noteEdit(block.position(), block.length());
                colours_->paint(block);
            }
            // Qt shapes a line afresh for every paint unless its layout keeps the glyphs: for a
            // piece of a long line that is most of what the caret's blink costs.
            if (block.length() > kKeepGlyphsAbove && !block.layout()->cacheEnabled())
                block.layout()->setCacheEnabled(true);
        }
        top += height;
        block = block.next();
    }
}

