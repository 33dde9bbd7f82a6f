#include "editor/block_layouts.h"
#include "editor/folding.h"
#include "editor/layout_release.h"
#include "editor/edit_area.h"
#include "editor/matching_tags.h"
#include "support/test_files.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QPaintEvent>
#include <QScrollBar>
#include <array>
#include <memory>

namespace {
QColor paintedColourAt(EditArea& area, int crlfPos) {
    const int doc = area.docFromCrlf(CrlfPosition(crlfPos)).value;
    const QTextBlock block = area.document()->findBlock(doc);
    const int offset = doc - block.position();
    for (const QTextLayout::FormatRange& r : block.layout()->formats())
        if (offset >= r.start && offset < r.start + r.length)
            return r.format.foreground().color();
    return {};
}

// Shows @p area holding @p lines copies of @p line (an %1 for its number), every character in @p colour.
bool showColoured(EditArea& area, const QString& line, int lines, Colour colour) {
    area.resize(400, 300);
    QString text;
    for (int i = 0; i < lines; ++i)
        text += line.arg(i);
    area.loadText(text);
    area.setColours(std::vector<std::uint8_t>(text.size(), 1), std::array<Colour, 2>{0, colour});
    area.show();
    return QTest::qWaitForWindowExposed(&area);
}

/// A page in the editor's own layout, with a release told of each line laid out; the view is its
/// first ten lines.
struct ReleasedPage {
    explicit ReleasedPage(const QString& text) {
        document.setDocumentLayout(layout);
        document.setPlainText(text);
        release = std::make_unique<LayoutRelease>(&document, [] { return LayoutRelease::Kept{0, 10, 0, 0}; });
        layout->laidOut = [this](const QTextBlock& block) { release->lineLaidOut(block.blockNumber()); };
    }
    QTextDocument document;
    FoldingLayout* layout = new FoldingLayout(&document);
    std::unique_ptr<LayoutRelease> release;
};

class EditAreaTest : public QObject {
    Q_OBJECT
private slots:
    void theCaretsTagAndItsPartnerAreMarked() {
        EditArea area;
        area.loadText(QStringLiteral("<div>\r\n<p>x</p>\r\n</div>"));
        QSignalSpy shown(area.matchingTags(), &MatchingTags::highlighted);
        area.setCaretPosition(2);
        QVERIFY(shown.wait(5000)); // once typing has paused
        auto marked = [&] {
            QStringList out;
            for (const QTextEdit::ExtraSelection& s : area.extraSelections())
                out << s.cursor.selectedText() + (s.format.underlineStyle() == QTextCharFormat::WaveUnderline ? "~" : "");
            return out;
        };
        QCOMPARE(marked(), QStringList({"<div", "</div"}));
        QVERIFY(area.matchingTags()->jumpToPartner());
        QCOMPARE(area.selectionStart(), 19); // on the partner's name
        area.moveCursor(QTextCursor::End);
        area.insertPlainText(QStringLiteral("<span>"));
        QCOMPARE(marked(), QStringList()); // nothing shown from a map the edit made stale
        area.setCaretPosition(25);
        QVERIFY(shown.wait(5000));
        QCOMPARE(marked(), QStringList({"<span~"}));
    }

    void typingAnEndTagCompletesIt() {
        EditArea area;
        area.setCompleteEndTags(true);
        for (const auto& [before, completed] : {std::pair{"<div><span>x", "<div><span>x</span>"},
                                                {"<ul><li>a<br>", "<ul><li>a<br></li>"},
                                                {"<div><script>a", "<div><script>a</"},
                                                {"<p><!-- a", "<p><!-- a</"}}) {
            area.loadText(QString::fromUtf8(before));
            area.moveCursor(QTextCursor::End);
            QTest::keyClicks(&area, QStringLiteral("</"));
            QCOMPARE(area.text(), QString::fromUtf8(completed));
        }
        area.loadText(QStringLiteral("<b>x"));
        area.moveCursor(QTextCursor::End);
        QTest::keyClicks(&area, QStringLiteral("</"));
        area.undo(); // the completion alone
        QCOMPARE(area.text(), QStringLiteral("<b>x</"));
        area.setCompleteEndTags(false);
        QTest::keyClicks(&area, QStringLiteral("</"));
        QCOMPARE(area.text(), QStringLiteral("<b>x</</"));
    }

    void aLongUnbreakableLineNeverHangsTheEditor_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("opened") << "load";
        QTest::newRow("pasted") << "paste";
        QTest::newRow("inserted by a command") << "insert";
    }
    void aLongUnbreakableLineNeverHangsTheEditor() {
        // A hang guard, not a benchmark: word wrapping this line took 11 s, and a 4 MB one minutes.
        QFETCH(QString, how);
        QString line = QStringLiteral("<script>var d=\"");
        for (int i = 0; i < 262144; ++i)
            line += QLatin1Char("0123456789abcdef"[(i * 7919) % 16]);
        line += QStringLiteral("\";</script>");
        EditArea area;
        area.resize(600, 400);
        area.show();
        QElapsedTimer timer;
        timer.start();
        if (how == QStringLiteral("load")) {
            area.loadText(line);
        } else if (how == QStringLiteral("paste")) {
            auto* data = new QMimeData;
            data->setText(line);
            QGuiApplication::clipboard()->setMimeData(data);
            area.paste();
        } else {
            area.replaceSelection(line);
        }
        area.repaint();
#ifdef TAGLOOM_SANITIZED
        const qint64 limit = 40000;
#else
        const qint64 limit = 5000;
#endif
        QVERIFY2(timer.elapsed() < limit, qPrintable(QStringLiteral("%1 ms").arg(timer.elapsed())));
        QCOMPARE(area.text(), line);
        // Ordinary text wraps at words again once the page is replaced.
        area.loadText(QStringLiteral("<p>short words</p>"));
        QCOMPARE(area.wordWrapMode(), QTextOption::WordWrap);
    }

    void selectionsCountCrLfAsTwoCharacters_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("selected");
        QTest::newRow("second line") << "ab\r\ncd" << 4 << 2 << "cd";
        QTest::newRow("across a line end") << "ab\r\ncd" << 1 << 4 << "b\r\nc";
        QTest::newRow("the line end alone") << "ab\r\ncd" << 2 << 2 << "\r\n";
        QTest::newRow("empty lines") << "\r\n\r\nx" << 4 << 1 << "x";
        QTest::newRow("non-ASCII") << QString::fromUtf8("é\r\n日本語\r\n€x") << 8 << 2
                                   << QString::fromUtf8("€x");
        QTest::newRow("surrogate pair") << QString::fromUtf8("😀a\r\nb") << 2 << 1 << "a";
        QTest::newRow("non-breaking space kept")
            << QString::fromUtf8("a\u00A0b") << 1 << 1 << QString::fromUtf8("\u00A0");
    }
    void selectionsCountCrLfAsTwoCharacters() {
        QFETCH(QString, text);
        QFETCH(int, start);
        QFETCH(int, length);
        QFETCH(QString, selected);
        EditArea area;
        area.setText(text);
        QCOMPARE(area.text(), text);
        area.setCaretPosition(start);
        area.setSelectionLength(length);
        QCOMPARE(area.selectionStart(), start);
        QCOMPARE(area.selectionLength(), length);
        QCOMPARE(area.selectedText(), selected);
        QCOMPARE(area.text().mid(start, length), selected);
    }

    void selTextAssignmentsFollowEachOtherAndLeaveTheCaretAfter() {
        EditArea area;
        area.setText(QStringLiteral("[]"));
        area.setCaretPosition(1);
        area.replaceSelection(QStringLiteral("<p>\r\n"));
        area.replaceSelection(QStringLiteral("</p>"));
        QCOMPARE(area.text(), QStringLiteral("[<p>\r\n</p>]"));
        QCOMPARE(area.selectionStart(), 10);
        QCOMPARE(area.selectionLength(), 0);
    }

    void selTextAssignmentIsOneUndoStep() {
        EditArea area;
        area.setText(QStringLiteral("one two"));
        area.setCaretPosition(4);
        area.setSelectionLength(3);
        area.replaceSelection(QStringLiteral("<b>two</b>\r\nthree"));
        area.undo();
        QCOMPARE(area.text(), QStringLiteral("one two"));
    }

    void assigningTheTextClearsEveryColour() {
        EditArea area;
        area.setText(QStringLiteral("<a>\r\nb"));
        area.setCaretPosition(0);
        area.setSelectionLength(6);
        area.colourSelection(kRoyalBlue);
        QCOMPARE(area.colourAt(5), std::optional<Colour>(kRoyalBlue));
        area.resize(300, 200);
        area.grab();
        QCOMPARE(paintedColourAt(area, 0), QColor(65, 105, 225));
        area.setText(QStringLiteral("<a>\r\nb"));
        for (int i = 0; i < 6; ++i)
            QCOMPARE(area.colourAt(i), std::nullopt);
        area.grab();
        QVERIFY(!paintedColourAt(area, 0).isValid());
    }

    void coloursStayOnTheirCharactersWhileTyping() {
        EditArea area;
        area.setText(QStringLiteral("ab\r\ncd"));
        area.setCaretPosition(4);
        area.setSelectionLength(2);
        area.colourSelection(kPureRed);
        area.setCaretPosition(0);
        QTest::keyClicks(&area, QStringLiteral("xy"));
        QTest::keyClick(&area, Qt::Key_Return);
        QCOMPARE(area.text(), QStringLiteral("xy\r\nab\r\ncd"));
        QCOMPARE(area.colourAt(8), std::optional<Colour>(kPureRed));
        QCOMPARE(area.colourAt(9), std::optional<Colour>(kPureRed));
        QCOMPARE(area.colourAt(7), std::nullopt);
        QCOMPARE(area.colourAt(0), std::nullopt);
        // Deleting a coloured character takes its colour with it.
        area.setCaretPosition(8);
        QTest::keyClick(&area, Qt::Key_Delete);
        QCOMPARE(area.colourAt(8), std::optional<Colour>(kPureRed));
        QCOMPARE(area.text(), QStringLiteral("xy\r\nab\r\nd"));
    }

    void undoRestoresTextButColoursNeverEnterTheHistory() {
        EditArea area;
        area.loadText(QStringLiteral("abc"));
        area.setCaretPosition(3);
        QTest::keyClicks(&area, QStringLiteral("d"));
        area.setCaretPosition(0);
        area.setSelectionLength(2);
        area.colourSelection(kRoyalBlue);
        area.undo(); // undoes the typed d, not the colour
        QCOMPARE(area.text(), QStringLiteral("abc"));
        QCOMPARE(area.colourAt(0), std::optional<Colour>(kRoyalBlue));
        QCOMPARE(area.colourAt(1), std::optional<Colour>(kRoyalBlue));
        QVERIFY(!area.document()->isUndoAvailable());
    }

    void linesEditedAfterALoadArePaintedAgain() {
        EditArea area;
        area.resize(300, 200);
        area.loadText(QStringLiteral("<a>x"));
        std::vector<std::uint8_t> colours{1, 1, 1, 0};
        const Colour palette[] = {0, kRoyalBlue};
        area.setColours(colours, palette);
        area.grab();
        area.setCaretPosition(0);
        QTest::keyClicks(&area, QStringLiteral("yy"));
        area.grab();
        QVERIFY(!paintedColourAt(area, 0).isValid());
        QVERIFY(!paintedColourAt(area, 1).isValid());
        QCOMPARE(paintedColourAt(area, 2), QColor(65, 105, 225));
        QCOMPARE(paintedColourAt(area, 4), QColor(65, 105, 225));
        QVERIFY(!paintedColourAt(area, 5).isValid());
    }

    void shiftEnterMakesARealLineEnd() {
        EditArea area;
        QTest::keyClicks(&area, QStringLiteral("a"));
        QTest::keyClick(&area, Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClicks(&area, QStringLiteral("b"));
        QCOMPARE(area.text(), QStringLiteral("a\r\nb"));
    }

    void visibleLinesArePaintedFromTheModel() {
        EditArea area;
        area.resize(300, 200);
        area.loadText(QStringLiteral("<a>\r\nplain\r\n<b>"));
        std::vector<std::uint8_t> colours(area.text().size(), 0);
        colours[0] = colours[1] = colours[2] = 1;
        colours[12] = 2;
        const Colour palette[] = {0, kRoyalBlue, kPureRed};
        area.setColours(colours, palette);
        area.grab(); // paints, which brings the visible lines up to date
        QCOMPARE(paintedColourAt(area, 1), QColor(65, 105, 225));
        QCOMPARE(paintedColourAt(area, 12), QColor(255, 0, 0));
        QVERIFY(!paintedColourAt(area, 6).isValid());
        QCOMPARE(area.colourAt(12), std::optional<Colour>(kPureRed));
        area.clearColours();
        area.grab();
        QVERIFY(!paintedColourAt(area, 1).isValid());
    }

    void typingInAColouredLineRepaintsThatLineOnly() {
        EditArea area;
        QVERIFY(showColoured(area, QStringLiteral("<p class=\"x\">%1</p>\r\n"), 100, kRoyalBlue));
        QRegion painted;
        struct Spy : QObject {
            QRegion* region;
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() == QEvent::Paint)
                    *region += static_cast<QPaintEvent*>(e)->region();
                return false;
            }
        } spy;
        spy.region = &painted;
        area.viewport()->installEventFilter(&spy);
        area.setCaretPosition(20); // the second line's start
        QCoreApplication::processEvents();
        painted = QRegion();
        QTest::keyClicks(&area, QStringLiteral("y"));
        QCoreApplication::processEvents();
        QVERIFY(!painted.isEmpty());
        QVERIFY2(painted.boundingRect().height() < area.viewport()->height() / 3,
                 qPrintable(QString::number(painted.boundingRect().height())));
        QCOMPARE(paintedColourAt(area, 22), QColor(65, 105, 225)); // the line itself is painted anew
        QVERIFY(!paintedColourAt(area, 20).isValid());
        // An Enter moves every line below: all of them are painted again.
        painted = QRegion();
        QTest::keyClick(&area, Qt::Key_Return);
        QCoreApplication::processEvents();
        QVERIFY(painted.boundingRect().height() > area.viewport()->height() / 2);
    }

    // Fewer lines laid out than a release waits for: their layouts go once the view stands still.
    void layoutsOfAShortWalkGoWhenTheViewStandsStill() {
        ReleasedPage page(QStringLiteral("line\n").repeated(3000));
        QTextDocument& document = page.document;
        FoldingLayout* layout = page.layout;
        LayoutRelease& release = *page.release;
        const int walked = 2 * LayoutRelease::kKeptAroundView + 100;
        for (int n = 0; n < walked; ++n)
            layout->blockBoundingRect(document.findBlockByNumber(n));
        const QTextBlock far = document.findBlockByNumber(walked - 1);
        QVERIFY(block_layouts::has(far));
        QTest::qWait(LayoutRelease::kReleaseWhenStillMs / 2);
        QVERIFY(block_layouts::has(far));
        // The caret's blink paints the still view and lays out nothing: the layouts go all the same.
        QTimer blink;
        QObject::connect(&blink, &QTimer::timeout, &release, &LayoutRelease::viewShows);
        blink.start(LayoutRelease::kReleaseWhenStillMs / 5);
        QTRY_VERIFY(!block_layouts::has(far));
        QVERIFY(block_layouts::has(document.firstBlock()));
    }

    void laidOutLinesGoWhereverLinesCame_data() {
        QTest::addColumn<bool>("before");
        QTest::newRow("lines before them") << true; // they are renumbered
        QTest::newRow("lines at the end") << false; // as a page loads
    }

    void laidOutLinesGoWhereverLinesCame() {
        QFETCH(bool, before);
        ReleasedPage page(QStringLiteral("line\n").repeated(3000));
        QTextDocument& document = page.document;
        FoldingLayout* layout = page.layout;
        LayoutRelease& release = *page.release;
        release.release();
        for (int n = 2000; n < 2010; ++n)
            layout->blockBoundingRect(document.findBlockByNumber(n));
        const QTextBlock laid = document.findBlockByNumber(2005);
        QTextCursor cursor(&document);
        cursor.movePosition(before ? QTextCursor::Start : QTextCursor::End);
        cursor.insertText(QStringLiteral("new\n").repeated(50));
        QVERIFY(block_layouts::has(laid));
        release.release();
        QVERIFY(!block_layouts::has(laid));
    }

    void theEmptyLayoutsOfQtsSearchForTheWidestLineGoToo() {
        // Laid out narrower, the widest line makes Qt measure every line for the next widest,
        // which gives each line a layout: past the lines a walk laid out.
        QStringList lines(3001, QStringLiteral("line"));
        lines[1500] = QStringLiteral("the widest line of all, by far");
        ReleasedPage page(lines.join(u'\n'));
        QTextDocument& document = page.document;
        FoldingLayout* layout = page.layout;
        LayoutRelease& release = *page.release;
        const QTextBlock widest = document.findBlockByNumber(1500);
        const QTextBlock far = document.findBlockByNumber(2500);
        layout->blockBoundingRect(widest);
        release.release();
        QVERIFY(!block_layouts::has(widest));
        layout->blockBoundingRect(widest);
        QTextCursor cursor(widest);
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        cursor.insertText(QStringLiteral("short"));
        QVERIFY(block_layouts::has(far)); // Qt's search went by
        release.release();
        QVERIFY(!block_layouts::has(far));
    }

    void aLineLaidOutAgainAfterItsLayoutWasDroppedKeepsColoursAndCaret_data() {
        QTest::addColumn<QString>("move");
        QTest::newRow("scroll bar") << "scroll";
        QTest::newRow("page down") << "keys"; // lays out every line the caret passes
        QTest::newRow("wider view") << "resize"; // lays out every line
        QTest::newRow("wrap anywhere") << "wrap"; // so does a change of how lines wrap
    }

    void aLineLaidOutAgainAfterItsLayoutWasDroppedKeepsColoursAndCaret() {
        QFETCH(QString, move);
        EditArea area;
        QVERIFY(showColoured(area, QStringLiteral("<b>%1</b>\r\n"), 8000, kPureRed));
        area.setCaretPosition(2);
        const QTextBlock far = area.document()->findBlockByNumber(1000);
        if (move == "scroll") {
            // Down the page, a screen at a time, as far as the end.
            for (int i = 0; i < 600; ++i) {
                area.verticalScrollBar()->setValue(area.verticalScrollBar()->value() + 14);
                area.viewport()->repaint();
                QCoreApplication::processEvents();
            }
        } else if (move == "keys") {
            // Keys come faster than paints: far layouts still go as the caret moves on.
            const auto laidOut = [&area] {
                int count = 0;
                for (QTextBlock b = area.document()->begin(); b.isValid(); b = b.next())
                    count += block_layouts::has(b) && b.layout()->lineCount() > 0;
                return count;
            };
            for (int keys = 0; !area.textCursor().atEnd(); ++keys) {
                QTest::keyClick(&area, Qt::Key_PageDown);
                if (keys % 20 == 0)
                    QVERIFY2(laidOut() <= LayoutRelease::kLinesLaidOutBeforeRelease + 2 * LayoutRelease::kKeptAroundView + 200,
                             qPrintable(QString::number(laidOut())));
            }
        } else if (move == "wrap") {
            // A word too long to wrap, typed at the top: lines wrap anywhere from then on.
            area.replaceBeforeCaret(0, QString(3000, u'w'), 0);
            QCOMPARE(area.wordWrapMode(), QTextOption::WrapAnywhere);
            QVERIFY(block_layouts::has(far));
        } else {
            area.resize(area.width() + 50, area.height());
            QVERIFY(block_layouts::has(far));
        }
        QTRY_VERIFY(!block_layouts::has(far));
        QVERIFY(block_layouts::has(area.textCursor().block()));
        area.goToLine(1001, 2);
        area.grab();
        QVERIFY(far.layout()->lineCount() > 0);
        QCOMPARE(paintedColourAt(area, area.selectionStart()), QColor(255, 0, 0));
        QCOMPARE(area.caretPlace().column, 2);
        QTest::keyClicks(&area, QStringLiteral("z"));
        QCOMPARE(area.lineText(1001), QStringLiteral("<zb>1000</b>"));
    }
};
} // namespace

TAGLOOM_TEST_MAIN(QApplication, EditAreaTest)
#include "test_edit_area.moc"
