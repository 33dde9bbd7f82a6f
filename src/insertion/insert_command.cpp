#include "insert_command.h"

#include "shell/dialogs.h"
#include "shell/edit_area.h"

#include <algorithm>

namespace {
template <class... F> struct Overloaded : F... { using F::operator()...; };

bool uses(const std::vector<Piece>& pieces, auto kind) {
    return std::any_of(pieces.begin(), pieces.end(),
                       [](const Piece& p) { return std::holds_alternative<decltype(kind)>(p); });
}
} // namespace

QString expandTemplate(const std::vector<Piece>& pieces, const QStringList& answers,
                       const HiddenFields& fields, const QString& selected, const QString& wholeText) {
    QString out;
    for (const Piece& piece : pieces) {
        std::visit(Overloaded{
                       [&](const Lit& lit) { out += QString::fromUtf8(lit.text); },
                       [&](const Answer& a) { out += answers.value(a.index); },
                       [&](Field f) {
                           switch (f) {
                           case Field::Text1:
                               out += fields.Text1;
                               break;
                           case Field::Text2:
                               out += fields.Text2;
                               break;
                           case Field::Text4:
                               out += fields.Text4;
                               break;
                           case Field::Text5:
                               out += fields.Text5;
                               break;
                           }
                       },
                       [&](Selected) { out += selected; },
                       [&](WholeText) { out += wholeText; },
                       [&](CrLf) { out += QStringLiteral("\r\n"); },
                   },
                   piece);
    }
    return out;
}

QStringList askPrompts(const InsertCommand& command, Dialogs& dialogs, QWidget* owner) {
    QStringList answers;
    for (const Prompt& p : command.prompts)
        answers << dialogs.prompt(owner, QString::fromUtf8(p.text), QString::fromUtf8(p.title),
                                  QString::fromUtf8(p.defaultAnswer));
    return answers;
}

void runInsertCommand(const InsertCommand& command, Dialogs& dialogs, QWidget* owner, EditArea& box,
                      const HiddenFields& fields) {
    const QStringList answers = askPrompts(command, dialogs, owner);
    const QString selected = uses(command.pieces, Selected{}) ? box.SelText() : QString();
    box.setSelText(expandTemplate(command.pieces, answers, fields, selected, QString()));
}

void runPageTemplate(const InsertCommand& command, Dialogs& dialogs, QWidget* owner, EditArea& box,
                     const HiddenFields& fields) {
    const QStringList answers = askPrompts(command, dialogs, owner);
    // Read only after the prompts have been answered.
    const QString whole = uses(command.pieces, WholeText{}) ? box.Text() : QString();
    box.setText(expandTemplate(command.pieces, answers, fields, QString(), whole));
}

std::span<const InsertCommand* const> insertCommands() {
    static const std::vector<const InsertCommand*> all = [] {
        std::vector<const InsertCommand*> list;
        for (auto family :
             {textCommands(), insertMenuCommands(), tableCommands(), formCommands(), pageTemplates()})
            for (const InsertCommand& c : family)
                list.push_back(&c);
        return list;
    }();
    return all;
}

const InsertCommand* findInsertCommand(std::string_view control) {
    for (const InsertCommand* c : insertCommands())
        if (control == c->control)
            return c;
    return nullptr;
}
