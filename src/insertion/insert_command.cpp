#include "insert_command.h"

#include "dialogs/dialogs.h"
#include "editor/edit_area.h"

#include <QRegularExpression>
#include <algorithm>

namespace {
template <class... F> struct Overloaded : F... { using F::operator()...; };

bool uses(const std::vector<Piece>& pieces, auto kind) {
    return std::any_of(pieces.begin(), pieces.end(),
                       [](const Piece& p) { return std::holds_alternative<decltype(kind)>(p); });
}
} // namespace

QString expandTemplate(const std::vector<Piece>& pieces, const QStringList& answers, const QString& selected,
                       const QString& wholeText, qsizetype* caret) {
    QString out;
    if (caret)
        *caret = -1;
    for (const Piece& piece : pieces) {
        std::visit(Overloaded{
                       [&](const Lit& lit) { out += QString::fromUtf8(lit.text); },
                       [&](const Answer& a) { out += answers.value(a.index); },
                       [&](const Escaped& a) { out += escapeMarkup(answers.value(a.index)); },
                       [&](Selected) { out += selected; },
                       [&](WholeText) { out += wholeText; },
                       [&](CrLf) { out += QStringLiteral("\r\n"); },
                       [&](Caret) {
                           if (caret)
                               *caret = out.size();
                       },
                   },
                   piece);
    }
    return out;
}

QString escapeMarkup(const QString& answer) {
    static const QRegularExpression reference(
        QStringLiteral("&(?:[A-Za-z][A-Za-z0-9]*|#[0-9]+|#[xX][0-9A-Fa-f]+);"));
    QString out;
    out.reserve(answer.size());
    for (qsizetype i = 0; i < answer.size(); ++i) {
        const QChar c = answer[i];
        if (c == u'"')
            out += QStringLiteral("&quot;");
        else if (c == u'<')
            out += QStringLiteral("&lt;");
        else if (c == u'&' && !reference
                                   .match(answer, i, QRegularExpression::NormalMatch,
                                          QRegularExpression::AnchorAtOffsetMatchOption)
                                   .hasMatch())
            out += QStringLiteral("&amp;");
        else
            out += c;
    }
    return out;
}

std::optional<QStringList> askPrompts(const InsertCommand& command, Dialogs& dialogs, QWidget* owner) {
    QStringList answers;
    for (const Prompt& p : command.prompts) {
        const QString text = QString::fromUtf8(p.text);
        const QString title = QString::fromUtf8(p.title);
        const QString offered = QString::fromUtf8(p.defaultAnswer);
        if (!command.cancellable) {
            answers << dialogs.prompt(owner, text, title, offered);
        } else if (const std::optional<QString> answer = dialogs.askText(owner, text, title, offered)) {
            answers << *answer;
        } else {
            return std::nullopt;
        }
    }
    return answers;
}

void runInsertCommand(const InsertCommand& command, Dialogs& dialogs, QWidget* owner, EditArea& editArea) {
    const std::optional<QStringList> answers = askPrompts(command, dialogs, owner);
    if (!answers)
        return;
    // At every caret, each with its own selection.
    const bool wrapsSelection = uses(command.pieces, Selected{});
    editArea.replaceAtEveryCaret([&](const QString& selectedHere, qsizetype* caret) {
        const QString selected = wrapsSelection ? selectedHere : QString();
        qsizetype at = -1;
        QString text = expandTemplate(command.pieces, *answers, selected, QString(), &at);
        *caret = selected.isEmpty() ? at : -1;
        return text;
    });
}

void runPageTemplate(const InsertCommand& command, Dialogs& dialogs, QWidget* owner, EditArea& editArea) {
    const std::optional<QStringList> answers = askPrompts(command, dialogs, owner);
    if (!answers)
        return;
    // Read only after the prompts have been answered.
    const QString whole = uses(command.pieces, WholeText{}) ? editArea.text() : QString();
    qsizetype caret = -1;
    editArea.setText(expandTemplate(command.pieces, *answers, QString(), whole, &caret));
    if (caret >= 0)
        editArea.setCaretPosition(int(caret));
}

std::span<const InsertCommand* const> insertCommands() {
    static const std::vector<const InsertCommand*> all = [] {
        std::vector<const InsertCommand*> list;
        for (auto family : {textCommands(), insertMenuCommands(), tableCommands(), formCommands(),
                            pageTemplates(), html5Commands()})
            for (const InsertCommand& c : family)
                list.push_back(&c);
        return list;
    }();
    return all;
}

const InsertCommand* findInsertCommand(std::string_view id) {
    for (const InsertCommand* c : insertCommands())
        if (id == c->id)
            return c;
    return nullptr;
}
