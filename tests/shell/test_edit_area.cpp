#include "shell/edit_area.h"

#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

namespace {
QColor paintedColourAt(EditArea& box, int crlfPos) {
    const int doc = box.docFromCrlf(crlfPos);
    const QTextBlock block = box.document()->findBlock(doc);
    const int offset = doc - block.position();
    for (const QTextLayout::FormatRange& r : block.layout()->formats())
        if (offset >= r.start && offset < r.start + r.length)
            return r.format.foreground().color();
    return {};
}

class EditAreaTest : public QObject {
    Q_OBJECT
private slots:
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
        EditArea box;
        box.setText(text);
        QCOMPARE(box.Text(), text);
        box.setSelStart(start);
        box.setSelLength(length);
        QCOMPARE(box.SelStart(), start);
        QCOMPARE(box.SelLength(), length);
        QCOMPARE(box.SelText(), selected);
        QCOMPARE(box.Text().mid(start, length), selected);
    }

    void selTextAssignmentsFollowEachOtherAndLeaveTheCaretAfter() {
        EditArea box;
        box.setText(QStringLiteral("[]"));
        box.setSelStart(1);
        box.setSelText(QStringLiteral("<p>\r\n"));
        box.setSelText(QStringLiteral("</p>"));
        QCOMPARE(box.Text(), QStringLiteral("[<p>\r\n</p>]"));
        QCOMPARE(box.SelStart(), 10);
        QCOMPARE(box.SelLength(), 0);
    }

    void selTextAssignmentIsOneUndoStep() {
        EditArea box;
        box.setText(QStringLiteral("one two"));
        box.setSelStart(4);
        box.setSelLength(3);
        box.setSelText(QStringLiteral("<b>two</b>\r\nthree"));
        box.undo();
        QCOMPARE(box.Text(), QStringLiteral("one two"));
    }

    void assigningTheTextClearsEveryColour() {
        EditArea box;
        box.setText(QStringLiteral("<a>\r\nb"));
        box.setSelStart(0);
        box.setSelLength(6);
        box.setSelColor(kRoyalBlue);
        QCOMPARE(box.colourAt(5), std::optional<Colour>(kRoyalBlue));
        box.resize(300, 200);
        box.grab();
        QCOMPARE(paintedColourAt(box, 0), QColor(65, 105, 225));
        box.setText(QStringLiteral("<a>\r\nb"));
        for (int i = 0; i < 6; ++i)
            QCOMPARE(box.colourAt(i), std::nullopt);
        box.grab();
        QVERIFY(!paintedColourAt(box, 0).isValid());
    }

    void coloursStayOnTheirCharactersWhileTyping() {
        EditArea box;
        box.setText(QStringLiteral("ab\r\ncd"));
        box.setSelStart(4);
        box.setSelLength(2);
        box.setSelColor(kPureRed);
        box.setSelStart(0);
        QTest::keyClicks(&box, QStringLiteral("xy"));
        QTest::keyClick(&box, Qt::Key_Return);
        QCOMPARE(box.Text(), QStringLiteral("xy\r\nab\r\ncd"));
        QCOMPARE(box.colourAt(8), std::optional<Colour>(kPureRed));
        QCOMPARE(box.colourAt(9), std::optional<Colour>(kPureRed));
        QCOMPARE(box.colourAt(7), std::nullopt);
        QCOMPARE(box.colourAt(0), std::nullopt);
        // Deleting a coloured character takes its colour with it.
        box.setSelStart(8);
        QTest::keyClick(&box, Qt::Key_Delete);
        QCOMPARE(box.colourAt(8), std::optional<Colour>(kPureRed));
        QCOMPARE(box.Text(), QStringLiteral("xy\r\nab\r\nd"));
    }

    void undoRestoresTextButColoursNeverEnterTheHistory() {
        EditArea box;
        box.loadText(QStringLiteral("abc"));
        box.setSelStart(3);
        QTest::keyClicks(&box, QStringLiteral("d"));
        box.setSelStart(0);
        box.setSelLength(2);
        box.setSelColor(kRoyalBlue);
        box.undo(); // undoes the typed d, not the colour
        QCOMPARE(box.Text(), QStringLiteral("abc"));
        QCOMPARE(box.colourAt(0), std::optional<Colour>(kRoyalBlue));
        QCOMPARE(box.colourAt(1), std::optional<Colour>(kRoyalBlue));
        QVERIFY(!box.document()->isUndoAvailable());
    }

    void linesEditedAfterALoadArePaintedAgain() {
        EditArea box;
        box.resize(300, 200);
        box.loadText(QStringLiteral("<a>x"));
        std::vector<std::uint8_t> colours{1, 1, 1, 0};
        const Colour palette[] = {0, kRoyalBlue};
        box.setColours(colours, palette);
        box.grab();
        box.setSelStart(0);
        QTest::keyClicks(&box, QStringLiteral("yy"));
        box.grab();
        QVERIFY(!paintedColourAt(box, 0).isValid());
        QVERIFY(!paintedColourAt(box, 1).isValid());
        QCOMPARE(paintedColourAt(box, 2), QColor(65, 105, 225));
        QCOMPARE(paintedColourAt(box, 4), QColor(65, 105, 225));
        QVERIFY(!paintedColourAt(box, 5).isValid());
    }

    void shiftEnterMakesARealLineEnd() {
        EditArea box;
        QTest::keyClicks(&box, QStringLiteral("a"));
        QTest::keyClick(&box, Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClicks(&box, QStringLiteral("b"));
        QCOMPARE(box.Text(), QStringLiteral("a\r\nb"));
    }

    void visibleLinesArePaintedFromTheModel() {
        EditArea box;
        box.resize(300, 200);
        box.loadText(QStringLiteral("<a>\r\nplain\r\n<b>"));
        std::vector<std::uint8_t> colours(box.Text().size(), 0);
        colours[0] = colours[1] = colours[2] = 1;
        colours[12] = 2;
        const Colour palette[] = {0, kRoyalBlue, kPureRed};
        box.setColours(colours, palette);
        box.grab(); // paints, which brings the visible lines up to date
        QCOMPARE(paintedColourAt(box, 1), QColor(65, 105, 225));
        QCOMPARE(paintedColourAt(box, 12), QColor(255, 0, 0));
        QVERIFY(!paintedColourAt(box, 6).isValid());
        QCOMPARE(box.colourAt(12), std::optional<Colour>(kPureRed));
        box.clearColours();
        box.grab();
        QVERIFY(!paintedColourAt(box, 1).isValid());
    }
};
} // namespace

QObject* newEditAreaTest() {
    return new EditAreaTest;
}
#include "test_edit_area.moc"
