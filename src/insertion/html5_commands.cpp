#include "html5_commands.h"

#include "insert_command.h"

#include "dialogs/dialogs.h"
#include "editor/edit_area.h"

#include <QRegularExpression>

namespace {
const char* const kFields = "Add Form Field";

// A block that wraps the selection on lines of its own.
InsertCommand block(const char* id, const char* open, const char* close) {
    return {id, {}, {Lit{open}, CrLf{}, Selected{}, CrLf{}, Lit{close}}, true};
}

// A labelled input: the label first, then the field it names.
InsertCommand labelledInput(const char* id, const char* type, const char* label, const char* name) {
    return {id,
            {{"Label text:", kFields, label}, {"Field id and name:", kFields, name}},
            {Lit{"<label for=\""}, Escaped{1}, Lit{"\">"}, Escaped{0}, Lit{"</label> <input type=\""},
             Lit{type}, Lit{"\" id=\""}, Escaped{1}, Lit{"\" name=\""}, Escaped{1}, Lit{"\">"}},
            true};
}

const std::vector<InsertCommand> kHtml5 = [] {
    std::vector<InsertCommand> list{
        {"html5-h1", {}, {Lit{"<h1>"}, Selected{}, Caret{}, Lit{"</h1>"}}, true},
        {"html5-h2", {}, {Lit{"<h2>"}, Selected{}, Caret{}, Lit{"</h2>"}}, true},
        {"html5-h3", {}, {Lit{"<h3>"}, Selected{}, Caret{}, Lit{"</h3>"}}, true},
        {"html5-h4", {}, {Lit{"<h4>"}, Selected{}, Caret{}, Lit{"</h4>"}}, true},
        {"html5-h5", {}, {Lit{"<h5>"}, Selected{}, Caret{}, Lit{"</h5>"}}, true},
        {"html5-h6", {}, {Lit{"<h6>"}, Selected{}, Caret{}, Lit{"</h6>"}}, true},
        block("html5-header", "<header>", "</header>"),
        block("html5-nav", "<nav>", "</nav>"),
        block("html5-main", "<main>", "</main>"),
        block("html5-section", "<section>", "</section>"),
        block("html5-article", "<article>", "</article>"),
        block("html5-aside", "<aside>", "</aside>"),
        block("html5-footer", "<footer>", "</footer>"),
        {"html5-figure",
         {{"Image name or link:", "Add Figure", "image.jpg"},
          {"Text alternative (what the image shows):", "Add Figure", "Describe the image"},
          {"Caption:", "Add Figure", "Caption"}},
         {Lit{"<figure>"}, CrLf{}, Lit{"<img src=\""}, Escaped{0}, Lit{"\" alt=\""}, Escaped{1}, Lit{"\">"},
          CrLf{}, Lit{"<figcaption>"}, Escaped{2}, Lit{"</figcaption>"}, CrLf{}, Lit{"</figure>"}},
         true},
        {"html5-image",
         {{"Image name or link:", "Add Image", "image.jpg"},
          {"Text alternative (what the image shows):", "Add Image", "Describe the image"},
          {"Width in pixels:", "Add Image", "400"},
          {"Height in pixels:", "Add Image", "300"}},
         {Lit{"<img src=\""}, Escaped{0}, Lit{"\" alt=\""}, Escaped{1}, Lit{"\" width=\""}, Escaped{2},
          Lit{"\" height=\""}, Escaped{3}, Lit{"\">"}},
         true},
        labelledInput("html5-text-field", "text", "Name", "name"),
        labelledInput("html5-email-field", "email", "Email", "email"),
        labelledInput("html5-number-field", "number", "Quantity", "quantity"),
        labelledInput("html5-date-field", "date", "Date", "date"),
        {"html5-checkbox",
         {{"Label text:", kFields, "I agree"}, {"Field id and name:", kFields, "agree"}},
         {Lit{"<input type=\"checkbox\" id=\""}, Escaped{1}, Lit{"\" name=\""}, Escaped{1},
          Lit{"\"> <label for=\""}, Escaped{1}, Lit{"\">"}, Escaped{0}, Lit{"</label>"}},
         true},
        {"html5-radio",
         {{"Label text:", kFields, "Option one"},
          {"Group name (shared by the group's buttons):", kFields, "choice"},
          {"Value:", kFields, "one"}},
         {Lit{"<input type=\"radio\" id=\""}, Escaped{1}, Lit{"-"}, Escaped{2}, Lit{"\" name=\""}, Escaped{1},
          Lit{"\" value=\""}, Escaped{2}, Lit{"\"> <label for=\""}, Escaped{1}, Lit{"-"}, Escaped{2},
          Lit{"\">"}, Escaped{0}, Lit{"</label>"}},
         true},
        {"html5-select",
         {{"Label text:", kFields, "Choose"}, {"Field id and name:", kFields, "choice"}},
         {Lit{"<label for=\""}, Escaped{1}, Lit{"\">"}, Escaped{0}, Lit{"</label> <select id=\""}, Escaped{1},
          Lit{"\" name=\""}, Escaped{1}, Lit{"\">"}, CrLf{}, Lit{"<option>One</option>"}, CrLf{},
          Lit{"<option>Two</option>"}, CrLf{}, Lit{"</select>"}},
         true},
        {"html5-textarea",
         {{"Label text:", kFields, "Message"},
          {"Field id and name:", kFields, "message"},
          {"Number of rows:", kFields, "5"}},
         {Lit{"<label for=\""}, Escaped{1}, Lit{"\">"}, Escaped{0}, Lit{"</label>"}, CrLf{},
          Lit{"<textarea id=\""}, Escaped{1}, Lit{"\" name=\""}, Escaped{1}, Lit{"\" rows=\""}, Escaped{2},
          Lit{"\"></textarea>"}},
         true},
        {"html5-button",
         {{"Button type (submit, reset or button):", "Add Button", "submit"},
          {"Button text:", "Add Button", "Send"}},
         {Lit{"<button type=\""}, Escaped{0}, Lit{"\">"}, Escaped{1}, Lit{"</button>"}},
         true},
    };
    return list;
}();

const QString kWrapTitle = QStringLiteral("Wrap Selection in Tag");
} // namespace

std::span<const InsertCommand> html5Commands() {
    return kHtml5;
}

QString buildTable(int rows, int columns, bool headerRow, const QString& caption) {
    const QString crlf = QStringLiteral("\r\n");
    auto row = [&](const QString& cell, int number) {
        QString line = QStringLiteral("<tr>");
        for (int c = 1; c <= columns; ++c)
            line += QStringLiteral("<%1>%2 %3</%1>")
                        .arg(cell, cell == u"th" ? QStringLiteral("Heading") : QStringLiteral("Cell"))
                        .arg(number == 0 ? c : (number - 1) * columns + c);
        return line + QStringLiteral("</tr>") + crlf;
    };
    QString out = QStringLiteral("<table>") + crlf;
    if (!caption.isEmpty())
        out += QStringLiteral("<caption>") + escapeMarkup(caption) + QStringLiteral("</caption>") + crlf;
    if (headerRow)
        out += QStringLiteral("<thead>") + crlf + row(QStringLiteral("th"), 0) + QStringLiteral("</thead>") +
               crlf;
    out += QStringLiteral("<tbody>") + crlf;
    for (int r = 1; r <= rows; ++r)
        out += row(QStringLiteral("td"), r);
    return out + QStringLiteral("</tbody>") + crlf + QStringLiteral("</table>");
}

void runTableBuilder(Dialogs& dialogs, QWidget* owner, EditArea& editArea) {
    QList<FormField> fields{{QStringLiteral("Rows:"), 3},
                            {QStringLiteral("Columns:"), 3},
                            {QStringLiteral("Header row:"), true},
                            {QStringLiteral("Caption:"), QString()}};
    if (!dialogs.fillForm(owner, QStringLiteral("Add Table"), fields))
        return;
    const int rows = std::clamp(fields[0].value.toInt(), 1, 100);
    const int columns = std::clamp(fields[1].value.toInt(), 1, 100);
    const QString table = buildTable(rows, columns, fields[2].value.toBool(), fields[3].value.toString());
    editArea.replaceAtEveryCaret([&](const QString&, qsizetype*) { return table; });
}

std::optional<QString> startTagFrom(const QString& typed, QString* problem) {
    QString tag = typed.trimmed();
    if (tag.startsWith(u'<'))
        tag.remove(0, 1);
    if (tag.endsWith(u'>'))
        tag.chop(1);
    tag = tag.trimmed();
    // A name, then attributes: name, name=value, name="value" or name='value'.
    static const QRegularExpression wellFormed(QStringLiteral(
        R"(^([A-Za-z][A-Za-z0-9]*(?:-[A-Za-z0-9._-]*)?)((?:\s+[^\s"'<>/=]+(?:\s*=\s*(?:"[^"]*"|'[^']*'|[^\s"'<>=`]+))?)*)$)"));
    const QRegularExpressionMatch m = wellFormed.match(tag);
    if (tag.isEmpty()) {
        *problem = QStringLiteral("Type the tag to wrap the selection in, such as: span class=\"note\"");
        return std::nullopt;
    }
    if (!m.hasMatch()) {
        *problem = QStringLiteral("\"%1\" is not a start tag. Type a tag name, then any attributes, such as: "
                                  "span class=\"note\"")
                       .arg(typed.trimmed());
        return std::nullopt;
    }
    static const QStringList voidElements{"area",  "base", "br",   "col",    "embed", "hr", "img",
                                          "input", "link", "meta", "source", "track", "wbr"};
    if (voidElements.contains(m.captured(1), Qt::CaseInsensitive)) {
        *problem =
            QStringLiteral("<%1> cannot hold text, so it cannot wrap the selection.").arg(m.captured(1));
        return std::nullopt;
    }
    return u'<' + m.captured(1) + m.captured(2) + u'>';
}

QString elementNameOf(const QString& startTag) {
    qsizetype end = 1;
    while (end < startTag.size() && !startTag[end].isSpace() && startTag[end] != u'>')
        ++end;
    return startTag.mid(1, end - 1);
}

void runWrapInTag(Dialogs& dialogs, QWidget* owner, EditArea& editArea) {
    QString typed = QStringLiteral("span");
    for (;;) {
        const std::optional<QString> answer = dialogs.askText(
            owner, QStringLiteral("Tag to wrap the selection in, with any attributes:"), kWrapTitle, typed);
        if (!answer)
            return;
        QString problem;
        if (const std::optional<QString> tag = startTagFrom(*answer, &problem)) {
            editArea.replaceAtEveryCaret([&](const QString& selected, qsizetype*) {
                return *tag + selected + QStringLiteral("</") + elementNameOf(*tag) + u'>';
            });
            return;
        }
        dialogs.showMessage(owner, problem, Dialogs::Icon::Exclamation, kWrapTitle);
        typed = *answer; // let the user mend what they typed
    }
}
