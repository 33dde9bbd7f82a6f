// What the edit area shows around the text: line numbers, zoom, the caret's place, and where
// dropped files go.
#include "edit_area.h"

#include "completer.h"
#include "edit_options.h"
#include "folding.h"

#include "layout_release.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>

namespace {
QStringList localFiles(const QMimeData* data) {
    QStringList paths;
    if (data && data->hasUrls())
        for (const QUrl& url : data->urls())
            if (url.isLocalFile())
                paths << url.toLocalFile();
    return paths;
}
} // namespace

/// The strip left of the text that shows line numbers and fold markers. The edit area paints it.
class EditArea::LineNumberGutter : public QWidget {
public:
    explicit LineNumberGutter(EditArea* area);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    EditArea* area_;
};

EditArea::LineNumberGutter::LineNumberGutter(EditArea* area) : QWidget(area), area_(area) {
    setObjectName(QStringLiteral("lineNumbers"));
}

QSize EditArea::LineNumberGutter::sizeHint() const {
    return {area_->gutterWidth(), 0};
}

void EditArea::LineNumberGutter::paintEvent(QPaintEvent* e) {
    area_->paintLineNumbers(e);
}

void EditArea::LineNumberGutter::mousePressEvent(QMouseEvent* e) {
    // A click on the marker column folds or unfolds the line's stretch.
    if (e->button() == Qt::LeftButton && area_->foldMarkers_ && e->position().x() >= width() - area_->foldMarkerWidth()) {
        const QTextBlock block = area_->cursorForPosition(QPoint(0, int(e->position().y()))).block();
        area_->folding_->toggleLine(block);
        e->accept();
        return;
    }
    QWidget::mousePressEvent(e);
}

int EditArea::lineCount() const {
    return document()->blockCount() - softBreakCount();
}

EditArea::Place EditArea::caretPlace() const {
    const QTextCursor cursor = textCursor();
    QTextBlock block = cursor.block();
    const int number = block.blockNumber();
    Place place{number - softBreaks_.before(number) + 1, cursor.positionInBlock() + 1};
    // The pieces of a long line before the caret's one.
    while (startsSoft(block)) {
        block = block.previous();
        place.column += block.length() - 1;
    }
    return place;
}

int EditArea::selectedCharacters() const {
    const QTextCursor cursor = textCursor();
    if (!cursor.hasSelection())
        return 0;
    const int first = cursor.block().document()->findBlock(cursor.selectionStart()).blockNumber();
    const int last = cursor.block().document()->findBlock(cursor.selectionEnd()).blockNumber();
    return cursor.selectionEnd() - cursor.selectionStart() - (softBreaks_.before(last) - softBreaks_.before(first));
}

void EditArea::goToLine(int line, int column) {
    selectInLine(line, column, 0);
}

std::pair<int, int> EditArea::visibleRange() const {
    const QTextBlock first = firstVisibleBlock();
    const QTextBlock last = cursorForPosition(QPoint(viewport()->width(), viewport()->height())).block();
    return {crlfFromDoc(DocumentPosition(first.position())).value,
            crlfFromDoc(DocumentPosition(last.position() + last.length() - 1)).value};
}

void EditArea::setLineNumbersVisible(bool on) {
    if (on == lineNumbers_)
        return;
    lineNumbers_ = on;
    updateGutter();
}

void EditArea::setFoldMarkersVisible(bool on) {
    if (on == foldMarkers_)
        return;
    foldMarkers_ = on;
    updateGutter();
    if (on)
        folding_->readSoon();
}

void EditArea::updateGutter() {
    const bool on = lineNumbers_ || foldMarkers_;
    if (on && !gutter_) {
        gutter_ = new LineNumberGutter(this);
        connect(this, &QPlainTextEdit::blockCountChanged, gutter_, [this] { placeGutter(); });
        connect(this, &QPlainTextEdit::updateRequest, gutter_, [this](const QRect& rect, int dy) {
            if (dy != 0)
                gutter_->scroll(0, dy);
            else
                gutter_->update(0, rect.y(), gutter_->width(), rect.height());
        });
        gutter_->show();
    } else if (!on) {
        delete gutter_;
        gutter_ = nullptr;
    }
    placeGutter();
}

int EditArea::gutterWidth() const {
    int digits = 1;
    for (int n = std::max(1, lineCount()); n >= 10; n /= 10)
        ++digits;
    return (lineNumbers_ ? 8 + fontMetrics().horizontalAdvance(u'9') * std::max(digits, 3) : 0) +
           (foldMarkers_ ? foldMarkerWidth() : 0);
}

int EditArea::foldMarkerWidth() const {
    return fontMetrics().height();
}

void EditArea::placeGutter() {
    const int width = gutter_ ? gutterWidth() : 0;
    if (viewportMargins().left() != width)
        setViewportMargins(width, 0, 0, 0);
    if (gutter_) {
        const QRect area = contentsRect();
        gutter_->setGeometry(area.left(), area.top(), width, area.height());
        gutter_->update();
    }
}

void EditArea::resizeEvent(QResizeEvent* e) {
    QPlainTextEdit::resizeEvent(e);
    placeGutter();
    if (e->oldSize().width() != e->size().width())
        layoutRelease_->linesRelaidOut();
}

void EditArea::paintLineNumbers(QPaintEvent* e) {
    QPainter painter(gutter_);
    const QPalette& colours = palette();
    painter.fillRect(e->rect(), colours.color(QPalette::AlternateBase));
    painter.setPen(colours.color(QPalette::PlaceholderText));
    painter.setFont(font());
    QTextBlock block = firstVisibleBlock();
    int number = block.blockNumber();
    int line = number - softBreaks_.before(number) + 1;
    qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
    const int current = textCursor().blockNumber();
    const int lineHeight = fontMetrics().height();
    QFont currentFont = font();
    currentFont.setBold(true);
    for (; block.isValid() && top <= e->rect().bottom(); block = block.next()) {
        const qreal height = blockBoundingRect(block).height();
        const bool soft = startsSoft(block);
        if (!soft && block.blockNumber() != number)
            ++line;
        if (!soft && block.isVisible() && top + height >= e->rect().top()) {
            const bool isCurrent = block.blockNumber() == current;
            if (isCurrent)
                painter.setFont(currentFont);
            if (lineNumbers_)
                painter.drawText(QRectF(0, top, gutter_->width() - 4 - (foldMarkers_ ? foldMarkerWidth() : 0), lineHeight),
                                 Qt::AlignRight, QString::number(line));
            if (isCurrent)
                painter.setFont(font());
            if (foldMarkers_)
                if (const Folding::Mark mark = folding_->markOf(block); mark != Folding::Mark::None) {
                    // A triangle: pointing right when folded, down when it can be.
                    const qreal side = lineHeight * 0.5;
                    const QPointF centre(gutter_->width() - foldMarkerWidth() / 2.0, top + lineHeight / 2.0);
                    QPainterPath triangle;
                    if (mark == Folding::Mark::Folded) {
                        triangle.moveTo(centre + QPointF(-side / 3, -side / 2));
                        triangle.lineTo(centre + QPointF(side / 2, 0));
                        triangle.lineTo(centre + QPointF(-side / 3, side / 2));
                    } else {
                        triangle.moveTo(centre + QPointF(-side / 2, -side / 3));
                        triangle.lineTo(centre + QPointF(side / 2, -side / 3));
                        triangle.lineTo(centre + QPointF(0, side / 2));
                    }
                    triangle.closeSubpath();
                    painter.save();
                    painter.setRenderHint(QPainter::Antialiasing);
                    painter.setPen(Qt::NoPen);
                    painter.setBrush(colours.color(mark == Folding::Mark::Folded ? QPalette::Highlight : QPalette::PlaceholderText));
                    painter.drawPath(triangle);
                    painter.restore();
                }
        }
        top += height;
    }
}

void EditArea::setBaseFont(const QFont& font) {
    baseFont_ = font;
    setZoom(zoom_);
}

void EditArea::setZoom(int steps) {
    const qreal base = baseFont_.pointSizeF() > 0 ? baseFont_.pointSizeF() : font().pointSizeF();
    steps = std::clamp(steps, -int(base) + 4, kMaxZoom);
    QFont zoomed = baseFont_;
    zoomed.setPointSizeF(base + steps);
    setFont(zoomed);
    placeGutter();
    if (steps != zoom_) {
        zoom_ = steps;
        emit zoomChanged(steps);
    }
}

void EditArea::wheelEvent(QWheelEvent* e) {
    if (e->modifiers() & Qt::ControlModifier) {
        const int notches = e->angleDelta().y() / 120;
        if (notches != 0)
            setZoom(zoom_ + notches);
        e->accept();
        return;
    }
    QPlainTextEdit::wheelEvent(e);
}

void EditArea::dragEnterEvent(QDragEnterEvent* e) {
    if (!localFiles(e->mimeData()).isEmpty()) {
        e->acceptProposedAction();
        return;
    }
    QPlainTextEdit::dragEnterEvent(e);
}

void EditArea::dragMoveEvent(QDragMoveEvent* e) {
    if (!localFiles(e->mimeData()).isEmpty()) {
        e->acceptProposedAction();
        return;
    }
    QPlainTextEdit::dragMoveEvent(e);
}

void EditArea::dropEvent(QDropEvent* e) {
    // A file dropped on the page is opened, not pasted as its address.
    if (const QStringList paths = localFiles(e->mimeData()); !paths.isEmpty()) {
        e->acceptProposedAction();
        emit filesDropped(paths);
        return;
    }
    // Moving text inside the page removes it from where it was, out of our sight: copy it.
    if (softBreaks_.mayHaveSoftBreaks() && e->source() == this)
        e->setDropAction(Qt::CopyAction);
    QPlainTextEdit::dropEvent(e);
}

void EditArea::apply(const EditOptions& options) {
    setCompleteEndTags(options.completeEndTags);
    completer_->setEnabled(options.suggestWhileTyping);
    setExpandOnTab(options.expandOnTab);
    setRenameTagPairs(options.renameTagPairs);
    setKeepIndent(options.keepIndent);
    setCloseBrackets(options.closeBrackets);
    setReservedShortcuts(options.reservedShortcuts);
    if (options.font != baseFont_)
        setBaseFont(options.font);
    setLineNumbersVisible(options.lineNumbers);
    setFoldMarkersVisible(options.foldMarkers);
    setFormatStyle({options.formatIndent < 0    ? QString()
                    : options.formatIndent == 0 ? QStringLiteral("\t")
                                                : QString(options.formatIndent, u' '),
                    options.wrapAttributesAt, options.formatCodeBlocks});
}

QWidget* EditArea::lineNumberGutter() const {
    return gutter_;
}
