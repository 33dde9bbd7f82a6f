#include "find_bar.h"

#include "edit_area.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

namespace {
// Shading of the matches in view: readable under dark and light text alike.
const QColor kMatchShade(255, 190, 0, 110);
// More matches than this in view are not shaded one by one (a search for "e" in a dense page).
constexpr int kMostShaded = 2000;
} // namespace

FindBar::FindBar(EditArea* area, QWidget* parent) : QWidget(parent), area_(area) {
    setObjectName(QStringLiteral("findBar"));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 2, 4, 2);
    grid->setVerticalSpacing(2);
    findField_ = new QLineEdit(this);
    findField_->setObjectName(QStringLiteral("findField"));
    findField_->setPlaceholderText(QStringLiteral("Find"));
    findField_->setClearButtonEnabled(true);
    // Compact, so that the bar never widens the window: symbols with their names as tooltips.
    auto toolButton = [this](const QString& text, const QString& tip, bool checkable) {
        auto* button = new QToolButton(this);
        button->setText(text);
        button->setToolTip(tip);
        button->setAccessibleName(tip);
        button->setCheckable(checkable);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::TabFocus);
        return button;
    };
    QToolButton* previous = toolButton(QStringLiteral("\u25B2"), QStringLiteral("Find Previous (Shift+F3)"), false);
    QToolButton* next = toolButton(QStringLiteral("\u25BC"), QStringLiteral("Find Next (F3)"), false);
    matchCase_ = toolButton(QStringLiteral("Aa"), QStringLiteral("Match Case"), true);
    wholeWord_ = toolButton(QStringLiteral("\u2039w\u203A"), QStringLiteral("Whole Word"), true);
    regex_ = toolButton(QStringLiteral(".*"), QStringLiteral("Regular Expression. Replacements may use \\1 or $1 for a group, "
                                                            "$& for the whole match, \\n for a new line and \\t for a tab."),
                        true);
    regex_->setAccessibleName(QStringLiteral("Regular Expression"));
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("findStatus"));
    // Long messages are cut to fit; the tooltip holds all of it.
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    status_->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00000 of 00000")));
    QToolButton* closeButton = toolButton(QStringLiteral("\u2715"), QStringLiteral("Close (Escape)"), false);
    grid->addWidget(new QLabel(QStringLiteral("Find:"), this), 0, 0);
    grid->addWidget(findField_, 0, 1);
    grid->addWidget(previous, 0, 2);
    grid->addWidget(next, 0, 3);
    grid->addWidget(matchCase_, 0, 4);
    grid->addWidget(wholeWord_, 0, 5);
    grid->addWidget(regex_, 0, 6);
    grid->addWidget(status_, 0, 7);
    grid->addWidget(closeButton, 0, 8);
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(7, 2);

    replaceRow_ = new QWidget(this);
    auto* row = new QHBoxLayout(replaceRow_);
    row->setContentsMargins(0, 0, 0, 0);
    replaceField_ = new QLineEdit(replaceRow_);
    replaceField_->setObjectName(QStringLiteral("replaceField"));
    replaceField_->setPlaceholderText(QStringLiteral("Replace with"));
    replaceButton_ = new QPushButton(QStringLiteral("Replace"), replaceRow_);
    replaceAllButton_ = new QPushButton(QStringLiteral("Replace All"), replaceRow_);
    row->addWidget(replaceField_, 1);
    row->addWidget(replaceButton_);
    row->addWidget(replaceAllButton_);
    grid->addWidget(new QLabel(QStringLiteral("Replace:"), this), 1, 0);
    grid->addWidget(replaceRow_, 1, 1, 1, 8);
    replaceRow_->hide();
    grid->itemAtPosition(1, 0)->widget()->hide();

    findField_->installEventFilter(this);
    replaceField_->installEventFilter(this);
    area_->installEventFilter(this); // Escape in the text closes the bar too
    connect(findField_, &QLineEdit::textEdited, this, [this] { step(anchor_, true); });
    for (QAbstractButton* box : {matchCase_, wholeWord_, regex_})
        connect(box, &QAbstractButton::toggled, this, [this] { step(anchor_, true); });
    connect(previous, &QToolButton::clicked, this, &FindBar::findPrevious);
    connect(next, &QToolButton::clicked, this, &FindBar::findNext);
    connect(replaceButton_, &QPushButton::clicked, this, &FindBar::replaceCurrent);
    connect(replaceAllButton_, &QPushButton::clicked, this, &FindBar::replaceAll);
    connect(closeButton, &QToolButton::clicked, this, &FindBar::close);
    // The shading follows the view; the count follows the text once typing pauses.
    connect(area_->verticalScrollBar(), &QScrollBar::valueChanged, this, &FindBar::markVisibleMatches);
    auto* pause = new QTimer(this);
    pause->setSingleShot(true);
    pause->setInterval(300);
    connect(pause, &QTimer::timeout, this, &FindBar::markVisibleMatches);
    connect(area_->document(), &QTextDocument::contentsChanged, pause, [this, pause] {
        if (isVisible() && area_->document()->revision() != revision_)
            pause->start();
    });
    connect(area_, &QPlainTextEdit::cursorPositionChanged, this, [this] {
        if (isVisible() && area_->document()->revision() == revision_)
            showCount();
    });
    hide();
}

void FindBar::openBar(bool withReplace) {
    const QString selected = area_->selectedText();
    if (!selected.isEmpty() && !selected.contains(u'\r') && !selected.contains(u'\n'))
        findField_->setText(regex_->isChecked() ? QRegularExpression::escape(selected) : selected);
    replaceRow_->setVisible(withReplace);
    static_cast<QGridLayout*>(layout())->itemAtPosition(1, 0)->widget()->setVisible(withReplace);
    show();
    anchor_ = area_->selectionStart();
    findField_->selectAll();
    findField_->setFocus(Qt::ShortcutFocusReason);
    refresh();
    showCount();
    markVisibleMatches();
}

void FindBar::showFind() {
    openBar(false);
}

void FindBar::showReplace() {
    openBar(true);
}

void FindBar::close() {
    hide();
    area_->setHighlights(EditArea::Highlights::FindMatches, {});
    area_->setFocus(Qt::ShortcutFocusReason);
}

TextSearch FindBar::search() const {
    return TextSearch(findField_->text(),
                      {matchCase_->isChecked(), wholeWord_->isChecked(), regex_->isChecked()});
}

bool FindBar::refresh() {
    const SearchOptions options{matchCase_->isChecked(), wholeWord_->isChecked(), regex_->isChecked()};
    const int revision = area_->document()->revision();
    // A plain search runs on the document's own text, one character per line end, which saves
    // a copy of the page. A pattern cannot hold a line end, so matches never span one, and
    // only soft breaks (which are no characters) would hide a match there.
    const bool crlfText = options.regularExpression || area_->softBreakCount() > 0;
    const bool textChanged = revision != revision_ || crlfText != crlfText_ || area_->isLoading();
    if (!textChanged && pattern_ == findField_->text() && options_ == options)
        return false;
    if (textChanged) {
        text_ = crlfText ? area_->text() : area_->documentText();
        crlfText_ = crlfText;
        revision_ = area_->document()->revision();
    }
    pattern_ = findField_->text();
    options_ = options;
    const TextSearch search(pattern_, options_);
    error_ = search.error();
    matches_ = search.findAll(text_);
    if (!crlfText_) {
        // Each line end before a match is two characters in the text the edit area counts in.
        qsizetype counted = 0;
        qsizetype lineEnds = 0;
        for (SearchMatch& m : matches_) {
            lineEnds += std::count(text_.cbegin() + counted, text_.cbegin() + m.start, QChar::ParagraphSeparator);
            counted = m.start;
            m.start += lineEnds;
        }
    }
    return true;
}

const std::vector<SearchMatch>& FindBar::matches() {
    refresh();
    return matches_;
}

int FindBar::currentMatch() const {
    const int start = area_->selectionStart();
    const auto it = std::lower_bound(matches_.begin(), matches_.end(), start,
                                     [](const SearchMatch& m, int pos) { return m.start < pos; });
    if (it == matches_.end() || it->start != start || it->length != area_->selectionLength())
        return -1;
    return int(it - matches_.begin());
}

void FindBar::step(int from, bool forward) {
    // With the bar closed, F3 selects the next match of the last search and leaves the focus in
    // the text, so that a key typed next replaces the match, not the search term.
    refresh();
    if (matches_.empty()) {
        showCount();
        markVisibleMatches();
        return;
    }
    auto it = std::lower_bound(matches_.begin(), matches_.end(), from,
                               [](const SearchMatch& m, int pos) { return m.start < pos; });
    QString note;
    if (forward && it == matches_.end()) {
        it = matches_.begin();
        note = QStringLiteral("wrapped to the top");
    } else if (!forward) {
        if (it == matches_.begin()) {
            it = matches_.end();
            note = QStringLiteral("wrapped to the bottom");
        }
        --it;
    }
    area_->setCaretPosition(int(it->start));
    area_->setSelectionLength(int(it->length));
    area_->centerCursor();
    showCount(note);
    markVisibleMatches();
}

void FindBar::findNext() {
    if (findField_->text().isEmpty()) {
        showFind();
        return;
    }
    // From just after the current match, so that the same one is not found again.
    const int current = (refresh(), currentMatch());
    const int from = current >= 0 ? int(matches_[size_t(current)].start) + 1
                                  : area_->selectionStart() + area_->selectionLength();
    step(from, true);
    anchor_ = area_->selectionStart();
}

void FindBar::findPrevious() {
    if (findField_->text().isEmpty()) {
        showFind();
        return;
    }
    step(area_->selectionStart(), false);
    anchor_ = area_->selectionStart();
}

void FindBar::replaceCurrent() {
    refresh();
    const int current = currentMatch();
    if (current < 0) {
        findNext();
        return;
    }
    const SearchMatch match = matches_[size_t(current)];
    const QString replacement = search().replacementFor(text_, match, replaceField_->text());
    area_->replaceSelection(replacement);
    // On to the next match after what went in.
    step(int(match.start) + int(replacement.size()), true);
    anchor_ = area_->selectionStart();
}

void FindBar::replaceAll() {
    refresh();
    if (matches_.empty()) {
        showCount();
        return;
    }
    std::vector<EditArea::Replacement> edits;
    edits.reserve(matches_.size());
    if (crlfText_) {
        for (auto& [m, replacement] : search().replaceAll(text_, replaceField_->text()))
            edits.push_back({int(m.start), int(m.length), std::move(replacement)});
    } else {
        for (const SearchMatch& m : matches_) // a plain search: the replacement as typed
            edits.push_back({int(m.start), int(m.length), replaceField_->text()});
    }
    const size_t count = edits.size();
    area_->replaceEach(std::move(edits));
    refresh();
    // What is left to find stays in view: a replacement may hold the pattern again.
    status_->setText(matches_.empty() ? QStringLiteral("Replaced %1").arg(count)
                                      : QStringLiteral("Replaced %1, %2 left").arg(count).arg(matches_.size()));
    status_->setToolTip(status_->text());
    markVisibleMatches();
}

QString FindBar::message() const {
    return status_->text();
}

void FindBar::showCount(const QString& note) {
    QPalette colours = palette();
    if (!error_.isEmpty()) {
        colours.setColor(QPalette::WindowText, QColor(200, 30, 30));
        status_->setPalette(colours);
        status_->setText(QStringLiteral("Invalid expression: ") + error_);
        status_->setToolTip(status_->text());
        return;
    }
    status_->setPalette(palette());
    QString text;
    if (findField_->text().isEmpty())
        text = QString();
    else if (matches_.empty())
        text = QStringLiteral("No matches");
    else if (const int current = currentMatch(); current >= 0)
        text = QStringLiteral("%1 of %2").arg(current + 1).arg(matches_.size());
    else
        text = QStringLiteral("%1 matches").arg(matches_.size());
    status_->setText(note.isEmpty() ? text : text + QStringLiteral(", ") + note);
    status_->setToolTip(status_->text());
}

void FindBar::markVisibleMatches() {
    if (!isVisible())
        return;
    if (area_->document()->revision() != revision_) {
        refresh();
        showCount();
    }
    QList<QTextEdit::ExtraSelection> marks;
    const auto [from, to] = area_->visibleRange();
    auto it = std::lower_bound(matches_.begin(), matches_.end(), from,
                               [](const SearchMatch& m, int pos) { return m.start + m.length <= pos; });
    for (; it != matches_.end() && it->start <= to && marks.size() < kMostShaded; ++it) {
        QTextEdit::ExtraSelection mark;
        mark.cursor = QTextCursor(area_->document());
        mark.cursor.setPosition(area_->docFromCrlf(CrlfPosition(int(it->start))).value);
        mark.cursor.setPosition(area_->docFromCrlf(CrlfPosition(int(it->start + it->length))).value,
                                QTextCursor::KeepAnchor);
        mark.format.setBackground(kMatchShade);
        marks << mark;
    }
    area_->setHighlights(EditArea::Highlights::FindMatches, marks);
}

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier && isVisible()) {
            close();
            return true;
        }
        if (watched == area_)
            return false;
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (watched == replaceField_)
                replaceCurrent();
            else if (key->modifiers() & Qt::ShiftModifier)
                findPrevious();
            else
                findNext();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FindBar::keyPressEvent(QKeyEvent* event) {
    // Escape on any of the bar's buttons.
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
