#include "app/main_window.h"
#include "app/spell_marks.h"
#include "editor/edit_area.h"
#include "support/scripted_dialogs.h"
#include "support/test_files.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

class SpellingWindowTest : public QObject {
    Q_OBJECT

private slots:
    // Through the window: a typo underlined, a suggestion taken from the right-click menu, a
    // word added to the site's list and no longer marked, F8 to the next.
    void misspeltWordsInThePage() {
        QTemporaryDir folder;
        QVERIFY(test_files::writeBytes(folder.filePath(QStringLiteral("en_US.aff")), "SET UTF-8\nTRY esianrtolcdugmphbyfvkwz\n"));
        QVERIFY(test_files::writeBytes(folder.filePath(QStringLiteral("en_US.dic")), "3\nhello\nworld\nthe\n"));
        qputenv("TAGLOOM_DICTIONARIES", folder.path().toUtf8());
        const QString page = folder.filePath(QStringLiteral("page.html"));
        QVERIFY(test_files::writeBytes(page, "<p>hello wrld the Tagloom</p>\n<code>nott</code>"));
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.setQuitHandler([] {});
        form.show();
        QVERIFY(form.openPath(page));
        EditArea* area = form.editArea();
        QVERIFY(!form.action(QStringLiteral("checkSpelling"))->isChecked()); // off at first
        QVERIFY(area->extraSelections().isEmpty());
        form.action(QStringLiteral("checkSpelling"))->trigger();
        auto* marks = area->findChild<SpellMarks*>();
        QVERIFY(marks);
        QTRY_COMPARE(int(marks->marked().size()), 2);
        QCOMPARE(marks->marked()[0].text, QStringLiteral("wrld"));
        QCOMPARE(marks->marked()[1].text, QStringLiteral("Tagloom"));
        const auto underlined = [&] {
            QStringList words;
            for (const QTextEdit::ExtraSelection& s : area->extraSelections())
                if (s.format.underlineColor() == SpellMarks::markColour())
                    words << s.cursor.selectedText();
            return words;
        };
        QCOMPARE(underlined(), (QStringList{"wrld", "Tagloom"}));
        QVERIFY(!area->document()->isModified()); // the marks are no edit

        // F8 selects the next; the right-click menu offers what it may be.
        form.action(QStringLiteral("nextMisspelling"))->trigger();
        QCOMPARE(area->selectedText(), QStringLiteral("wrld"));
        const auto menuAt = [&](const QString& word, const QString& choose) {
            const int at = int(area->text().indexOf(word)) + 1;
            QTextCursor c(area->document());
            c.setPosition(at);
            const QPoint point = area->cursorRect(c).center();
            // The menu runs its own loop: an item is chosen as it shows.
            QTimer::singleShot(100, this, [choose] {
                auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                QVERIFY(menu);
                for (QAction* a : menu->actions())
                    if (a->text().remove(u'&') == choose) {
                        menu->close();
                        a->trigger();
                        return;
                    }
                menu->close();
                QFAIL(qPrintable(QStringLiteral("no menu item ") + choose));
            });
            QContextMenuEvent event(QContextMenuEvent::Mouse, point, area->viewport()->mapToGlobal(point));
            QApplication::sendEvent(area->viewport(), &event);
        };
        menuAt(QStringLiteral("wrld"), QStringLiteral("world"));
        QCOMPARE(area->text(), QStringLiteral("<p>hello world the Tagloom</p>\r\n<code>nott</code>"));
        QTRY_COMPARE(underlined(), QStringList{"Tagloom"});
        area->undo();
        QCOMPARE(area->text(), QStringLiteral("<p>hello wrld the Tagloom</p>\r\n<code>nott</code>"));
        menuAt(QStringLiteral("Tagloom"), QStringLiteral("Add to Site Words"));
        QCOMPARE(test_files::readBytes(folder.filePath(QStringLiteral(".tagloom-words"))), "Tagloom\n");
        QTRY_COMPARE(underlined(), QStringList{"wrld"});
        // A list that is no file is told, and the word still accepted for now.
        area->insertPlainText(QStringLiteral(" zzzq"));
        QVERIFY(QDir().mkpath(folder.filePath(QStringLiteral("blocked"))));
        const qsizetype messages = dialogs.shown.size();
        QVERIFY(QFile::rename(folder.filePath(QStringLiteral(".tagloom-words")), folder.filePath(QStringLiteral("blocked/words"))));
        QVERIFY(QDir().mkpath(folder.filePath(QStringLiteral(".tagloom-words"))));
        QTRY_VERIFY(underlined().contains(QStringLiteral("zzzq")));
        menuAt(QStringLiteral("zzzq"), QStringLiteral("Add to Site Words"));
        QCOMPARE(dialogs.shown.size(), messages + 1);
        QVERIFY(dialogs.shown.back().text.contains(QStringLiteral("could not be added")));
        QTRY_VERIFY(!underlined().contains(QStringLiteral("zzzq")));
        area->undo();
        QTRY_COMPARE(underlined(), QStringList{"wrld"});
        menuAt(QStringLiteral("wrld"), QStringLiteral("Add to My Words"));
        QVERIFY(test_files::readBytes(SpellMarks::personalWords()).endsWith("wrld\n"));
        QTRY_VERIFY(underlined().isEmpty());
        QFile::remove(SpellMarks::personalWords());
        // Off: no marks, nor the menu's items.
        area->insertPlainText(QStringLiteral(" qqqq"));
        form.action(QStringLiteral("checkSpelling"))->trigger();
        QVERIFY(underlined().isEmpty());
        QVERIFY(!area->findChild<SpellMarks*>());
        // The language of text with no lang: a wrong one refused, one with no dictionary said.
        dialogs.answer(QStringLiteral("not one"));
        form.action(QStringLiteral("spellingLanguage"))->trigger();
        QVERIFY(dialogs.shown.back().text.contains(QStringLiteral("is no language")));
        QCOMPARE(QSettings().value(QStringLiteral("editing/spellingLanguage"), QStringLiteral("en")).toString(), QStringLiteral("en"));
        dialogs.answer(QStringLiteral("de-CH"));
        form.action(QStringLiteral("spellingLanguage"))->trigger();
        QVERIFY(dialogs.shown.back().text.startsWith(QStringLiteral("No dictionary for de-CH")));
        QCOMPARE(QSettings().value(QStringLiteral("editing/spellingLanguage")).toString(), QStringLiteral("de-CH"));
        QSettings().clear();
    }

    // The marks move with edits until the page is read again, each kept where the same letters
    // stand and an edited one dropped: differential against moving every mark at every edit.
    void marksFollowEdits() {
        QTemporaryDir folder;
        QVERIFY(test_files::writeBytes(folder.filePath(QStringLiteral("en_US.aff")), "SET UTF-8\n"));
        QVERIFY(test_files::writeBytes(folder.filePath(QStringLiteral("en_US.dic")), "1\nhello\n"));
        qputenv("TAGLOOM_DICTIONARIES", folder.path().toUtf8());
        // Words the dictionary does not know (its digits as letters), one in seven the same.
        QByteArray bytes = "<p>";
        for (int i = 0; i < 300; ++i) {
            QByteArray word = "w";
            for (const char digit : QByteArray::number(i % 7 == 0 ? 0 : i))
                word += "qrstuvwyzk"[digit - '0'];
            bytes += "hello " + word + "x" + (i % 10 == 0 ? "\n" : " ");
        }
        const QString page = folder.filePath(QStringLiteral("page.html"));
        QVERIFY(test_files::writeBytes(page, bytes + "</p>"));
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.setQuitHandler([] {});
        form.show();
        QVERIFY(form.openPath(page));
        EditArea* area = form.editArea();
        form.action(QStringLiteral("checkSpelling"))->trigger();
        auto* marks = area->findChild<SpellMarks*>();
        QTRY_VERIFY(marks->marked().size() > 250);
        struct Mark {
            qsizetype start, length;
            QString letters;
        };
        std::vector<Mark> expected;
        for (const spelling::Word& w : marks->marked())
            expected.push_back({w.start, w.length, area->documentText().mid(w.start, w.length)});
        quint32 seed = 7;
        const auto next = [&](quint32 below) { return (seed = seed * 1103515245u + 12345u) / 65536u % below; };
        for (int edit = 0; edit < 400; ++edit) {
            const int length = area->document()->characterCount() - 1;
            // Mostly typing in a few places; now and then a jump, a removal, a paste of lines.
            const int position = int(edit % 50 < 45 ? (edit / 50 * 997 + next(40)) % length : next(quint32(length)));
            const int removed = next(4) == 0 ? int(std::min<quint32>(next(30), quint32(length - position))) : 0;
            const QString added = next(3) == 0 ? QString() : QStringLiteral("ab\ncd ").left(int(next(6)) + 1);
            QTextCursor c(area->document());
            c.setPosition(position);
            c.setPosition(position + removed, QTextCursor::KeepAnchor);
            if (removed == 0 && added.isEmpty())
                continue; // no edit
            c.insertText(added);
            std::erase_if(expected, [&](const Mark& m) { return m.start < position + removed && position <= m.start + m.length; });
            for (Mark& m : expected)
                if (m.start >= position + removed)
                    m.start += added.size() - removed;
            const std::vector<spelling::Word> now = marks->marked();
            QCOMPARE(now.size(), expected.size());
            for (size_t i = 0; i < now.size(); ++i) {
                QCOMPARE(now[i].start, expected[i].start);
                QCOMPARE(area->documentText().mid(now[i].start, now[i].length), expected[i].letters);
            }
        }
        QVERIFY(expected.size() > 100);
    }
};

} // namespace

TAGLOOM_TEST_MAIN(QApplication, SpellingWindowTest)
#include "test_spelling_window.moc"
