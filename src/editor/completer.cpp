#include "completer.h"

#include "base/regular_file.h"
#include "block_data.h"
#include "edit_area.h"

#include "colouring/embedded_code.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QScreen>
#include <QTextBlock>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <limits>

using completion::Kind;

namespace {
bool betweenTags(const HtmlTokenizer& state) {
    return state.state() == HtmlTokenizer::State::Data || state.state() == HtmlTokenizer::State::RawText;
}

/// Whether a space, `=` or quote typed at @p position may be inside a tag: the nearest `<` or
/// `>` before it, within a few lines, is a `<`. Spares reading the page for a space in text.
bool mayBeInTag(const QTextDocument& document, int position) {
    QTextBlock block = document.findBlock(position);
    int end = position - block.position();
    for (int lines = 0; block.isValid() && lines < 4; ++lines) {
        const QString text = block.text();
        for (int i = std::min(end, int(text.size())) - 1; i >= 0; --i) {
            if (text[i] == u'<')
                return true;
            if (text[i] == u'>')
                return false;
        }
        block = block.previous();
        end = block.length();
    }
    return false;
}

/// Whether a letter typed at @p position may be CSS in a page: going back from it, the nearest
/// "style" that is markup is a <style> start tag (not its end tag), or a style attribute whose
/// tag is still open, within a few kilobytes (deeper in a long style sheet, Ctrl+Space asks).
/// Spares reading the page for every letter of its text.
bool mayBeInStyle(const QTextDocument& document, int position) {
    constexpr int kLookBack = 4 * 1024;
    QTextBlock block = document.findBlock(position);
    int end = position - block.position();
    bool tagEndedSince = false; // a `>` between a style attribute and the caret
    for (int read = 0; block.isValid() && read < kLookBack; block = block.previous()) {
        const QString text = block.text();
        const QStringView line = QStringView(text).left(std::min(end, int(text.size())));
        for (qsizetype at = line.lastIndexOf(u"style", -1, Qt::CaseInsensitive); at >= 0;
             at = at > 0 ? line.lastIndexOf(u"style", at - 1, Qt::CaseInsensitive) : -1) {
            if (at >= 2 && line.mid(at - 2, 2) == u"</")
                return false;
            if (at >= 1 && line[at - 1] == u'<')
                return true;
            qsizetype after = at + 5;
            while (after < line.size() && line[after].isSpace())
                ++after;
            if (after < line.size() && line[after] == u'=')
                return !tagEndedSince && line.indexOf(u'>', after) < 0;
        }
        tagEndedSince = tagEndedSince || line.contains(u'>');
        read += int(text.size());
        end = std::numeric_limits<int>::max();
    }
    return false;
}
} // namespace

Completer::Completer(EditArea* area) : QObject(area), area_(area) {
    area_->installEventFilter(this);
    area_->viewport()->installEventFilter(this);
    readAheadTimer_.setSingleShot(true);
    readAheadTimer_.setInterval(kReadAheadAfterMs);
    connect(&readAheadTimer_, &QTimer::timeout, this, &Completer::startReadAhead);
    connect(&readAhead_, &QFutureWatcher<std::vector<Checkpoint>>::finished, this, &Completer::takeReadAhead);
}

Completer::~Completer() {
    readAhead_.waitForFinished();
    delete popup_;
}

std::vector<Completer::Checkpoint> Completer::readAhead(QString page, int from, int to, HtmlTokenizer state,
                                                         std::vector<int> softBreaks) {
    const QStringView text = QStringView(page).mid(from, to - from);
    std::vector<Checkpoint> found;
    HtmlTokenizer::Listener ignore;
    qsizetype offset = 0, start = 0;
    int since = 0;
    while (start < text.size()) {
        qsizetype separator = text.indexOf(QChar::ParagraphSeparator, start);
        if (separator < 0)
            separator = text.size();
        const QStringView piece = QStringView(text).mid(start, separator - start);
        state.feed(piece, offset, ignore);
        offset += piece.size();
        since += int(piece.size()) + 1;
        if (separator == text.size())
            break;
        const int position = from + int(separator);
        if (!std::binary_search(softBreaks.begin(), softBreaks.end(), position))
            state.feed(u"\n", offset++, ignore);
        start = separator + 1;
        if (betweenTags(state) && since >= kCheckpointEvery) {
            found.push_back({position + 1, state});
            since = 0;
        }
    }
    return found;
}

void Completer::startReadAhead() {
    if (!enabled_ || readAhead_.isRunning())
        return;
    if (area_->isLoading()) {
        readAheadTimer_.start();
        return;
    }
    const int caret = area_->textCursor().position();
    const Checkpoint last = checkpoints_.back();
    const int end = area_->document()->findBlock(caret).position();
    if (end - last.position <= kReadAheadAbove)
        return;
    std::vector<int> softBreaks = area_->softBreakPositions();
    softBreaks.erase(softBreaks.begin(), std::lower_bound(softBreaks.begin(), softBreaks.end(), last.position));
    editedSinceReadAhead_ = std::numeric_limits<int>::max();
    // The page's shared copy, read from the last checkpoint to the caret's line.
    readAhead_.setFuture(QtConcurrent::run(&Completer::readAhead, area_->documentText(), last.position, end, last.state,
                                           std::move(softBreaks)));
}

void Completer::takeReadAhead() {
    std::vector<Checkpoint> found = readAhead_.result();
    // What an edit since came before is still true.
    found.erase(std::upper_bound(found.begin(), found.end(), editedSinceReadAhead_,
                                 [](int p, const Checkpoint& c) { return p < c.position; }),
                found.end());
    const int known = checkpoints_.back().position;
    found.erase(found.begin(), std::upper_bound(found.begin(), found.end(), known,
                                                [](int p, const Checkpoint& c) { return p < c.position; }));
    checkpoints_.insert(checkpoints_.end(), found.begin(), found.end());
}

void Completer::setEnabled(bool on) {
    enabled_ = on;
    if (!on)
        hide();
}

bool Completer::isShown() const {
    return popup_ && popup_->isVisible();
}

QString Completer::currentLabel() const {
    return isShown() && list_->currentItem() ? list_->currentItem()->text() : QString();
}

QStringList Completer::shownLabels() const {
    QStringList labels;
    if (isShown())
        for (const int i : shown_)
            labels << items_[size_t(i)].label;
    return labels;
}

void Completer::hide() {
    if (popup_)
        popup_->hide();
}

void Completer::documentChanged(int position) {
    // The state at a point depends only on the text before it.
    const auto after = std::upper_bound(checkpoints_.begin() + 1, checkpoints_.end(), position,
                                        [](int p, const Checkpoint& c) { return p < c.position; });
    checkpoints_.erase(after, checkpoints_.end());
    editedSinceReadAhead_ = std::min(editedSinceReadAhead_, position);
    if (enabled_ && area_->document()->characterCount() - checkpoints_.back().position > kReadAheadAbove)
        readAheadTimer_.start();
}

completion::Context Completer::cssContextAtCaret() const {
    const QTextDocument& document = *area_->document();
    const QTextCursor caret = area_->textCursor();
    // The caret's line, from its first piece.
    QTextBlock first = caret.block();
    while (first.previous().isValid() && EditArea::startsSoft(first))
        first = first.previous();
    QString line;
    for (QTextBlock piece = first; piece != caret.block(); piece = piece.next())
        line += piece.text();
    line += caret.block().text().left(caret.positionInBlock());
    // Colour as it is typed keeps the state each line starts in; without it, the sheet is read
    // from its start.
    std::uint32_t state = embedded_code::cssStart();
    if (area_->liveScheme() == EditArea::LiveScheme::Html5) {
        if (const auto* data = static_cast<const BlockData*>(first.userData()))
            state = data->codeState;
    } else {
        std::vector<std::uint8_t> scratch;
        for (QTextBlock block = document.begin(); block.isValid() && block != first; block = block.next()) {
            const QString text = block.text();
            scratch.resize(size_t(text.size()));
            embedded_code::colourCss(text, state, scratch.data());
        }
    }
    return completion::cssContextAt(state, line);
}

completion::Context Completer::contextAtCaret() {
    if (area_->language() == Language::Css)
        return cssContextAtCaret();
    const QTextDocument& document = *area_->document();
    const int caret = area_->textCursor().position();
    const QTextBlock caretBlock = document.findBlock(caret);
    // From the last known point before the caret's block, reading on block by block; the tail
    // is the text from the last block start found between tags.
    auto known = std::upper_bound(checkpoints_.begin(), checkpoints_.end(), caretBlock.position(),
                                  [](int p, const Checkpoint& c) { return p < c.position; }) - 1;
    const size_t knownIndex = size_t(known - checkpoints_.begin());
    HtmlTokenizer state = known->state;
    HtmlTokenizer tailState = state;
    QString tail;
    HtmlTokenizer::Listener ignore;
    qsizetype offset = 0;
    int sinceCheckpoint = 0;
    std::vector<Checkpoint> found;
    for (QTextBlock block = document.findBlock(known->position); block.isValid() && block != caretBlock;) {
        const QString text = block.text();
        state.feed(text, offset, ignore);
        offset += text.size();
        tail += text;
        block = block.next();
        if (!EditArea::startsSoft(block)) {
            state.feed(u"\n", offset++, ignore);
            tail += u'\n';
        }
        sinceCheckpoint += int(text.size()) + 1;
        if (betweenTags(state)) {
            tailState = state;
            tail.clear();
            if (sinceCheckpoint >= kCheckpointEvery && block.isValid()) {
                found.push_back({block.position(), state});
                sinceCheckpoint = 0;
            }
        }
    }
    checkpoints_.insert(checkpoints_.begin() + qsizetype(knownIndex) + 1, found.begin(), found.end());
    tail += QStringView(caretBlock.text()).left(caret - caretBlock.position());
    return completion::contextAt(tailState, tail);
}

void Completer::keyHandled(const QKeyEvent* e) {
    // The list offers HTML in pages and CSS in style sheets; a script has neither.
    const Language language = area_->language();
    if (!enabled_ || area_->isReadOnly() || (!language::isHtml(language) && language != Language::Css))
        return;
    const QString text = e->text();
    const bool typed = !text.isEmpty() && text[0].isPrint();
    // `.` and `#` open the site's names in a selector only, not in `1.5em` or `#fff`.
    const auto inSelector = [this] {
        const completion::Kind kind = contextAtCaret().kind;
        return kind == completion::Kind::CssClassSelector || kind == completion::Kind::CssIdSelector;
    };
    if (language == Language::Css) {
        // A property, a value, an at-rule or a pseudo-class as its first letter or mark is
        // typed; the rest of its name filters the list, anything else closes it.
        const QChar c = typed && text.size() == 1 ? text[0] : QChar();
        const bool opens = c.isLetter() || c == u'-' || c == u'@' || c == u':' || c == u'(' || c == u'/' || c == u'"' ||
                           c == u'\'' || ((c == u'.' || c == u'#') && !isShown() && inSelector());
        const bool filters = (opens || c.isDigit() || c == u'_' || c == u'.' || e->key() == Qt::Key_Backspace ||
                              e->key() == Qt::Key_Delete) && !endsTheName(text);
        const bool modifier = e->key() == Qt::Key_Shift || e->key() == Qt::Key_Control || e->key() == Qt::Key_Alt ||
                              e->key() == Qt::Key_Meta;
        if (isShown() ? filters : opens)
            update(true);
        else if (isShown() && !modifier)
            hide();
        return;
    }
    if (isShown()) {
        if (endsTheName(text))
            hide();
        else if (typed || e->key() == Qt::Key_Backspace || e->key() == Qt::Key_Delete)
            update(false);
        else if (e->key() != Qt::Key_Shift && e->key() != Qt::Key_Control && e->key() != Qt::Key_Alt &&
                 e->key() != Qt::Key_Meta)
            hide();
        return;
    }
    if (text.size() != 1)
        return;
    const QChar c = text[0];
    if (c == u'<' || c == u'&')
        update(true);
    else if ((c.isLetter() || c == u'-' || c == u'@' || c == u':' || c == u'(' || c == u'/' || c == u'.' || c == u'#') &&
             mayBeInStyle(*area_->document(), area_->textCursor().position()) && ((c != u'.' && c != u'#') || inSelector()))
        update(true); // CSS in the page: the context says whether the caret is in it
    else if ((c == u' ' || c == u'=' || c == u'"' || c == u'\'' || c == u'/' || c == u',' || c == u'#') &&
             mayBeInTag(*area_->document(), area_->textCursor().position()))
        update(true);
}

bool Completer::endsTheName(const QString& typed) const {
    if (typed.size() != 1)
        return false;
    const QChar c = typed[0];
    // A style sheet's name ends at `;`, a space or a brace; a path at a quote, a space or `)`.
    if (context_.kind == completion::Kind::Path)
        return c.isSpace() || c == u'"' || c == u'\'' || c == u')' || c == u',';
    // A class or id list goes on after a space.
    if (context_.kind == completion::Kind::ClassName || context_.kind == completion::Kind::IdReference)
        return c == u'"' || c == u'\'' || c == u'>';
    if (context_.kind >= completion::Kind::CssProperty)
        return !c.isLetterOrNumber() && c != u'-' && c != u'_';
    return false;
}

void Completer::showHere() {
    if (enabled_ && !area_->isReadOnly() && (language::isHtml(area_->language()) || area_->language() == Language::Css))
        update(true);
}

void Completer::update(bool openIfClosed) {
    const completion::Context context = contextAtCaret();
    if (context.kind == Kind::None) {
        hide();
        return;
    }
    if (context.kind == completion::Kind::ClassName || context.kind == completion::Kind::IdReference) {
        // The page's names as it stands when the list opens.
        if (items_.empty() || context.kind != context_.kind) {
            const completion::PageNames names = completion::pageNames(area_->text(), area_->documentFolder());
            items_ = completion::nameItems(context.kind == completion::Kind::ClassName ? names.classes : names.ids, context);
        }
    } else if (context.kind == completion::Kind::CssClassSelector || context.kind == completion::Kind::CssIdSelector) {
        // A page's own names first, then those of the site's pages.
        if (items_.empty() || context.kind != context_.kind) {
            const bool classes = context.kind == completion::Kind::CssClassSelector;
            QStringList names;
            if (language::isHtml(area_->language())) {
                const completion::PageNames own = completion::namesUsed(area_->text());
                names = classes ? own.classes : own.ids;
            }
            const completion::PageNames site = area_->siteNames();
            names << (classes ? site.classes : site.ids);
            names.removeDuplicates();
            items_ = completion::nameItems(names, context);
        }
    } else if (context.kind == completion::Kind::Path) {
        // The folder is listed afresh each time it changes: files come and go.
        if (items_.empty() || context.kind != context_.kind || context.folder != context_.folder)
            items_ = completion::pathItems(area_->documentFolder(), context);
    } else if (items_.empty() || context.kind != context_.kind || context.element != context_.element ||
               context.attribute != context_.attribute || context.present != context_.present ||
               context.quoted != context_.quoted) {
        items_ = completion::itemsFor(context);
    }
    context_ = context;
    shown_ = completion::rank(items_, context.typed);
    if (shown_.empty()) {
        hide();
        return;
    }
    if (!isShown() && (!openIfClosed || !area_->isVisible()))
        return;
    fill();
    place();
    popup_->show();
}

void Completer::fill() {
    if (!popup_) {
        popup_ = new QFrame(area_, Qt::ToolTip | Qt::FramelessWindowHint);
        popup_->setAttribute(Qt::WA_ShowWithoutActivating);
        popup_->setFrameShape(QFrame::Box);
        popup_->setObjectName(QStringLiteral("completionList"));
        auto* layout = new QHBoxLayout(popup_);
        layout->setContentsMargins(1, 1, 1, 1);
        layout->setSpacing(0);
        list_ = new QListWidget(popup_);
        list_->setFocusPolicy(Qt::NoFocus);
        list_->setUniformItemSizes(true);
        layout->addWidget(list_, 0, Qt::AlignTop);
        description_ = new QLabel(popup_);
        description_->setTextFormat(Qt::MarkdownText);
        description_->setWordWrap(true);
        description_->setOpenExternalLinks(true);
        description_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
        description_->setMargin(6);
        description_->setFixedWidth(area_->fontMetrics().averageCharWidth() * 40);
        description_->setAutoFillBackground(true);
        layout->addWidget(description_);
        connect(list_, &QListWidget::currentRowChanged, this, &Completer::showDescription);
        area_->window()->installEventFilter(this); // the list stays by the caret: a moved window closes it
        connect(list_, &QListWidget::itemClicked, this, [this] { accept(); });
    }
    list_->setUpdatesEnabled(false);
    list_->clear();
    QStringList labels;
    labels.reserve(qsizetype(shown_.size()));
    for (const int i : shown_) {
        const completion::Item& item = items_[size_t(i)];
        labels << (item.detail.isEmpty() ? item.label : item.label + QStringLiteral("   ") + item.detail);
    }
    list_->addItems(labels);
    list_->setCurrentRow(0);
    list_->setUpdatesEnabled(true);
    showDescription();
}

void Completer::showDescription() {
    const int row = list_->currentRow();
    if (row < 0 || row >= int(shown_.size()))
        return;
    const completion::Item& item = items_[size_t(shown_[size_t(row)])];
    QString text = item.description;
    if (!item.reference.isEmpty())
        text += QStringLiteral("\n\n[Reference](%1)").arg(item.reference);
    description_->setText(text);
    description_->setVisible(!text.isEmpty());
    if (isShown())
        popup_->adjustSize();
}

void Completer::place() {
    const int rows = std::min(10, list_->count());
    const int rowHeight = list_->sizeHintForRow(0);
    list_->setFixedHeight(rows * rowHeight + 2 * list_->frameWidth());
    int width = 0;
    const QFontMetrics metrics(list_->font());
    for (int i = 0; i < std::min(list_->count(), 300); ++i)
        width = std::max(width, metrics.horizontalAdvance(list_->item(i)->text()));
    list_->setFixedWidth(std::clamp(width + 2 * list_->frameWidth() + 24, 120, 360));
    popup_->adjustSize();
    const QRect caret = area_->cursorRect();
    QPoint at = area_->viewport()->mapToGlobal(caret.bottomLeft() + QPoint(0, 2));
    if (const QScreen* screen = area_->screen()) {
        const QRect available = screen->availableGeometry();
        if (at.y() + popup_->height() > available.bottom())
            at.setY(area_->viewport()->mapToGlobal(caret.topLeft()).y() - popup_->height() - 2);
        at.setX(std::clamp(at.x(), available.left(), std::max(available.left(), available.right() - popup_->width())));
    }
    popup_->move(at);
}

bool Completer::takeKey(QKeyEvent* e) {
    if (!isShown())
        return false;
    const int row = list_->currentRow(), last = list_->count() - 1;
    const int page = std::max(1, list_->height() / std::max(1, list_->sizeHintForRow(0)) - 1);
    switch (e->key()) {
    case Qt::Key_Up:
        list_->setCurrentRow(row > 0 ? row - 1 : last);
        return true;
    case Qt::Key_Down:
        list_->setCurrentRow(row < last ? row + 1 : 0);
        return true;
    case Qt::Key_PageUp:
        list_->setCurrentRow(std::max(0, row - page));
        return true;
    case Qt::Key_PageDown:
        list_->setCurrentRow(std::min(last, row + page));
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Tab:
        if (e->modifiers() & ~Qt::KeypadModifier)
            return false;
        accept();
        return true;
    case Qt::Key_Escape:
        hide();
        return true;
    default:
        return false;
    }
}

void Completer::accept() {
    const int row = list_->currentRow();
    if (row < 0 || row >= int(shown_.size()))
        return;
    completion::Item item = items_[size_t(shown_[size_t(row)])];
    hide();
    if (!item.image.isEmpty()) {
        const QTextCursor caret = area_->textCursor();
        const QChar next = area_->document()->characterAt(caret.position());
        item.text = completion::withImageSize(item.text, regular_file::imageSize(item.image), next == u'"' || next == u'\'');
    }
    area_->replaceBeforeCaret(int(context_.typed.size()), item.text, item.caretBack, true);
    // An attribute whose value has a list of its own: the list of values follows.
    if (item.offersValues)
        update(true);
}

bool Completer::eventFilter(QObject* watched, QEvent* event) {
    if (isShown()) {
        switch (event->type()) {
        case QEvent::FocusOut:
        case QEvent::Hide:
        case QEvent::Move:
        case QEvent::Resize:
            if (watched == area_ || watched == area_->window())
                hide();
            break;
        case QEvent::MouseButtonPress:
        case QEvent::Wheel:
            if (watched == area_->viewport())
                hide();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}
