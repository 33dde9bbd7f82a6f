#include "colouring/html_pass.h"
#include "editor/edit_area.h"
#include "support/test_files.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>

namespace {
/// A minified page: one long line of tags, with a few short lines around it.
QString longLinePage(QRandomGenerator& random, int length) {
    QString line;
    while (line.size() < length)
        line += QStringLiteral("<a href=\"p%1.htm\">caf\u00e9 \U0001F600</a>").arg(random.bounded(1000));
    return QStringLiteral("<html>\r\n") + line + QStringLiteral("\r\n<p>end</p>");
}

/// A position of @p text that does not split a CR LF pair or a surrogate pair.
int safe(const QString& text, int pos) {
    if (pos > 0 && pos < text.size() && ((text[pos - 1] == u'\r' && text[pos] == u'\n') || text[pos].isLowSurrogate()))
        --pos;
    return pos;
}

/// Document positions of the starts of the pieces that continue a line.
std::vector<int> softJoins(const EditArea& area) {
    std::vector<int> joins;
    for (QTextBlock b = area.document()->begin(); b.isValid(); b = b.next())
        if (b.blockFormat().boolProperty(EditArea::kSoftStart))
            joins.push_back(b.position());
    return joins;
}

void putCaretAtDoc(EditArea& area, int docPosition) {
    QTextCursor cursor(area.document());
    cursor.setPosition(docPosition);
    area.setTextCursor(cursor);
}

class SoftBreaksTest : public QObject {
    Q_OBJECT
private slots:
    // Everything seen from outside the edit area must equal what a document with one block per
    // line gives: the text, every position, the clipboard, the colours.
    void aLongLineActsAsOneLine() {
        QRandomGenerator random(20261207);
        EditArea area;
        QString expected = longLinePage(random, 40000);
        area.loadText(expected);
        QVERIFY(area.softBreakCount() >= 9);
        QClipboard* clipboard = QGuiApplication::clipboard();
        // Positions at the pieces' joins are where mistakes would hide. A join has two caret
        // places, the end of one piece and the start of the next (Go to Line reaches the first),
        // which are one position of the text.
        auto placeCaret = [&] {
            const std::vector<int> joins = softJoins(area);
            if (!joins.empty() && random.bounded(3) == 0) {
                const int join = joins[random.bounded(int(joins.size()))];
                putCaretAtDoc(area, join - random.bounded(2));
                return area.selectionStart();
            }
            const int pos = !joins.empty() && random.bounded(2)
                                ? area.crlfFromDoc(DocumentPosition(joins[random.bounded(int(joins.size()))])).value + random.bounded(3) - 1
                                : random.bounded(int(expected.size()) + 1);
            const int at = safe(expected, std::clamp(pos, 0, int(expected.size())));
            area.setCaretPosition(at);
            return at;
        };
        for (int step = 0; step < 400; ++step) {
            const int at = placeCaret();
            QCOMPARE(area.selectionStart(), at);
            const int op = random.bounded(9);
            const QString beforeOp = expected;
            bool undoable = false;
            switch (op) {
            case 0: { // a command or a paste replaces a stretch, maybe with a long line
                const int length = safe(expected, std::min(int(expected.size()), at + random.bounded(9000))) - at;
                const QString with = random.bounded(4) == 0 ? longLinePage(random, 10000) : QStringLiteral("<b>x</b>\r\ny");
                area.setSelectionLength(length);
                QCOMPARE(area.selectedText(), expected.mid(at, length));
                const QString before = expected;
                area.replaceSelection(with);
                expected.replace(at, length, with);
                QCOMPARE(area.selectionStart(), at + int(with.size()));
                QCOMPARE(area.text(), expected);
                area.undo();
                QCOMPARE(area.text(), before);
                area.redo();
                break;
            }
            case 1: // Backspace
                if (at > 0) {
                    QTest::keyClick(&area, Qt::Key_Backspace);
                    const int gone = (expected.mid(at - 2, 2) == u"\r\n" || expected[at - 1].isLowSurrogate()) ? 2 : 1;
                    expected.remove(at - gone, gone);
                }
                break;
            case 2: // Delete
                if (at < expected.size()) {
                    QTest::keyClick(&area, Qt::Key_Delete);
                    expected.remove(at, (expected.mid(at, 2) == u"\r\n" || expected[at].isHighSurrogate()) ? 2 : 1);
                }
                break;
            case 3:
                QTest::keyClick(&area, Qt::Key_Return);
                expected.insert(at, QStringLiteral("\r\n"));
                break;
            case 6:   // type over a selection
            case 7: { // or delete it: Backspace, Delete or Ctrl+X
                const int length = safe(expected, std::min(int(expected.size()), at + random.bounded(9000))) - at;
                if (length == 0 && op == 7)
                    break; // nothing selected: the plain keys are tried above
                area.setSelectionLength(length);
                undoable = length > 0;
                const int how = random.bounded(3);
                if (op == 6)
                    QTest::keyClick(&area, Qt::Key_Z);
                else
                    QTest::keyClick(&area, how == 0 ? Qt::Key_Backspace : how == 1 ? Qt::Key_Delete : Qt::Key_X,
                                    how == 2 ? Qt::ControlModifier : Qt::NoModifier);
                expected.replace(at, length, op == 6 ? QStringLiteral("z") : QString());
                break;
            }
            case 8: { // a word at a time: the caret tells where the deletion started
                const bool back = random.bounded(2);
                const qsizetype size = area.text().size();
                QTest::keyClick(&area, back ? Qt::Key_Backspace : Qt::Key_Delete, Qt::ControlModifier);
                const int gone = int(size - area.text().size());
                expected.remove(back ? at - gone : at, gone);
                QCOMPARE(area.selectionStart(), back ? at - gone : at);
                break;
            }
            case 4:
                QTest::keyClicks(&area, QStringLiteral("q<"));
                expected.insert(at, QStringLiteral("q<"));
                break;
            case 5: { // copy, then paste it back at the same place
                const int length = safe(expected, std::min(int(expected.size()), at + random.bounded(6000))) - at;
                if (length == 0)
                    break; // nothing to copy
                area.setSelectionLength(length);
                area.copy();
                QString copied = expected.mid(at, length);
                QCOMPARE(clipboard->text(), copied.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
                area.setCaretPosition(at);
                area.paste();
                expected.insert(at, expected.mid(at, length));
                break;
            }
            }
            QCOMPARE(area.text(), expected);
            if (undoable) { // one undo step each
                area.undo();
                QCOMPARE(area.text(), beforeOp);
                area.redo();
                QCOMPARE(area.text(), expected);
            }
        }
        // Delete and Backspace on both sides of every join, each compared with the one-string
        // model, then undone.
        for (const int join : softJoins(area)) {
            for (const int side : {0, 1}) {
                for (const Qt::Key key : {Qt::Key_Delete, Qt::Key_Backspace}) {
                    putCaretAtDoc(area, join - side);
                    const int at = area.selectionStart();
                    const QString context = QStringLiteral("join %1, side %2, key %3").arg(join).arg(side).arg(key);
                    QTest::keyClick(&area, key);
                    QString model = expected;
                    if (key == Qt::Key_Delete)
                        model.remove(at, (model.mid(at, 2) == u"\r\n" || model[at].isHighSurrogate()) ? 2 : 1);
                    else
                        model.remove(at - 1 - int(model[at - 1].isLowSurrogate()), 1 + int(model[at - 1].isLowSurrogate()));
                    QVERIFY2(area.text() == model, qPrintable(context));
                    QCOMPARE(area.softBreakCount(), int(softJoins(area).size()));
                    area.undo();
                    QVERIFY2(area.text() == expected, qPrintable(context));
                }
            }
        }
        QString raw = expected;
        QCOMPARE(area.rawText(), raw.replace(QStringLiteral("\r\n"), QString(QChar::ParagraphSeparator)));
        // Colours land on the same characters.
        const PassResult pass = runHtmlPass(expected);
        area.setColours(pass.colours, kPassPalette);
        for (int pos = 0; pos < expected.size(); pos += 7) {
            const std::uint8_t index = pass.colours[size_t(pos)];
            QCOMPARE(area.colourAt(pos), index == Plain || expected[pos] == u'\r' || expected[pos] == u'\n'
                                             ? area.colourAt(pos)
                                             : std::optional<Colour>(kPassPalette[index]));
        }
    }

    // Every position of a page held in pieces, both ways, against a walk of the two texts side
    // by side: a line end is two characters of the page and one of the document, a soft break
    // none of the page and one of the document.
    void positionsConvertBothWays() {
        QRandomGenerator random(20261208);
        EditArea area;
        area.loadText(longLinePage(random, 9000) + QStringLiteral("\r\n\r\n") + longLinePage(random, 5000));
        QVERIFY(area.softBreakCount() >= 4);
        std::vector<CrlfPosition> everyPosition;
        std::vector<DocumentPosition> expected;
        int crlf = 0;
        for (QTextBlock block = area.document()->begin(); block.isValid(); block = block.next()) {
            for (int k = 0; k < block.length() - 1; ++k, ++crlf) {
                everyPosition.push_back(CrlfPosition(crlf));
                expected.push_back(DocumentPosition(block.position() + k));
                QCOMPARE(area.positions().toCrlf(expected.back()), everyPosition.back());
            }
            const DocumentPosition separator(block.position() + block.length() - 1);
            if (block.next().isValid() && EditArea::startsSoft(block.next()))
                continue; // the next piece's first character is the next position of the page
            for (int half = 0; half < (block.next().isValid() ? 2 : 1); ++half, ++crlf) {
                everyPosition.push_back(CrlfPosition(crlf));
                expected.push_back(separator);
            }
        }
        QCOMPARE(crlf, int(area.text().size()) + 1);
        for (size_t i = 0; i < everyPosition.size(); ++i)
            QCOMPARE(area.positions().toDocument(everyPosition[i]), expected[i]);
        QVERIFY(area.positions().toDocumentAscending(everyPosition) == expected);
    }

    void aBigPageShowsAtOnceAndLoadsTheRestWhileIdle() {
        QString text;
        LineEndExceptions lineEnds;
        for (int line = 0; text.size() < 3 * 1024 * 1024; ++line) {
            text += line % 5000 == 7 ? QStringLiteral("<b>").repeated(4000) : QStringLiteral("<p>line %1</p>").arg(line);
            text += QStringLiteral("\r\n");
            if (line % 1000 == 3)
                lineEnds.push_back({line, LineEnd::Lf});
        }
        for (const bool waitForIdle : {true, false}) {
            EditArea area;
            QSignalSpy finished(&area, &EditArea::loadingFinished);
            area.loadText(text, lineEnds);
            QVERIFY(area.isLoading());
            QVERIFY(area.isReadOnly());
            QVERIFY(area.document()->characterCount() < text.size() / 10); // the first screen only
            if (waitForIdle)
                QVERIFY(finished.wait(10000));
            // Reading the whole text finishes the load first.
            QCOMPARE(area.text(), text);
            QVERIFY(!area.isLoading() && !area.isReadOnly());
            QCOMPARE(area.lineEndExceptions(), lineEnds);
            QVERIFY(!area.document()->isModified());
            QVERIFY(!area.document()->isUndoAvailable());
        }
        // Keys typed while the page loads wait for it without holding up the window, and then go
        // in as they were typed; reading the text meanwhile takes them in too.
        for (const bool read : {false, true}) {
            EditArea area;
            QSignalSpy finished(&area, &EditArea::loadingFinished);
            area.loadText(text, lineEnds);
            QTest::keyClicks(&area, QStringLiteral("ab"));
            QTest::keyClick(&area, Qt::Key_Left);
            QTest::keyClicks(&area, QStringLiteral("c"));
            QVERIFY(area.isLoading());
            if (!read)
                QVERIFY(finished.wait(10000));
            QCOMPARE(area.text(), QStringLiteral("acb") + text);
            while (area.document()->isUndoAvailable())
                area.undo();
            QCOMPARE(area.text(), text);
        }
    }

    void loadingALongLineLaysOutOnlyWhatIsShown() {
        EditArea area;
        area.resize(400, 300);
        area.show();
        QVERIFY(QTest::qWaitForWindowExposed(&area));
        area.loadText(QStringLiteral("<a href=\"x\">link</a> ").repeated(20000));
        area.grab();
        const int pieces = area.document()->blockCount();
        QVERIFY(pieces > 100);
        int laidOut = 0;
        for (QTextBlock block = area.document()->begin(); block.isValid(); block = block.next())
            laidOut += block.layout()->lineCount() > 0;
        QVERIFY2(laidOut < 20, qPrintable(QStringLiteral("%1 of %2 pieces laid out").arg(laidOut).arg(pieces)));
    }

    void aLineIsFoundByItsNumberAcrossPieces() {
        EditArea area;
        const QString longLine = QStringLiteral("x").repeated(9000) + QStringLiteral("<b>");
        area.loadText(QStringLiteral("first\r\n") + longLine + QStringLiteral("\r\nlast"),
                      {{1, LineEnd::Lf}});
        QVERIFY(area.softBreakCount() > 0);
        QCOMPARE(area.lineText(2), longLine);
        QCOMPARE(area.lineText(3), QStringLiteral("last"));
        area.selectInLine(2, 9001, 3);
        QCOMPARE(area.selectedText(), QStringLiteral("<b>"));
        QCOMPARE(area.lineEndExceptions(), LineEndExceptions({{1, LineEnd::Lf}}));
    }
};
} // namespace

TAGLOOM_TEST_MAIN(QApplication, SoftBreaksTest)
#include "test_soft_breaks.moc"
