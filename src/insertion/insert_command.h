#pragma once

#include "base/markup.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <span>
#include <string_view>
#include <variant>
#include <vector>

class Dialogs;
class EditArea;
class QWidget;

/// One prompt dialog of a command: its text, its title and the answer it offers.
struct Prompt {
    const char* text;
    const char* title;
    const char* defaultAnswer;
};

// The pieces a command's text is built from.
struct Lit {
    const char* text;
};
struct Answer {
    int index; ///< 0 for the first prompt's answer
};
/// An answer made safe inside an attribute value or text: `"` and `<` become references, and so
/// does an `&` that does not already start one.
struct Escaped {
    int index;
};
struct Selected {};  ///< the text selected when the command runs
struct WholeText {}; ///< the whole document, read after the prompts
struct CrLf {};
/// Where the caret goes, ready to type: for a command run with nothing selected (a selection
/// wrapped leaves the caret after the whole), and for a page template always.
struct Caret {};
using Piece = std::variant<Lit, Answer, Escaped, Selected, WholeText, CrLf, Caret>;

// The markup pieces nearly every command uses.
inline constexpr Lit Quote{markup::kQuote};
inline constexpr Lit ValueOpen{markup::kValueOpen};
inline constexpr Lit ValueEnd{markup::kValueEnd};

/// A command that asks its prompts and puts the text built from its pieces in place of the
/// selection (or, for the page templates, of the whole document).
struct InsertCommand {
    const char* id;
    std::vector<Prompt> prompts;
    std::vector<Piece> pieces;
    /// A cancelled prompt cancels the whole command. The classic commands go on with an empty answer.
    bool cancellable = false;
};

/// @p answer with `"`, `<` and every `&` that does not start a character reference escaped.
QString escapeMarkup(const QString& answer);

/// Builds a command's text in one pass: an answer that looks like a piece is never expanded.
/// @p caret, when given, receives where the Caret piece stands in the text, or -1.
QString expandTemplate(const std::vector<Piece>& pieces, const QStringList& answers, const QString& selected,
                       const QString& wholeText, qsizetype* caret = nullptr);

/// Asks every prompt in order. A cancelled prompt gives an empty answer and the rest still run,
/// unless the command is cancellable: then nothing is returned.
std::optional<QStringList> askPrompts(const InsertCommand& command, Dialogs& dialogs, QWidget* owner);

/// Runs a selection command: prompts, then the built text replaces the selection of @p editArea.
void runInsertCommand(const InsertCommand& command, Dialogs& dialogs, QWidget* owner, EditArea& editArea);

/// Runs a page template: prompts, then the built text replaces the whole document (one undo step).
void runPageTemplate(const InsertCommand& command, Dialogs& dialogs, QWidget* owner, EditArea& editArea);

/// Every insertion command, the page templates included.
std::span<const InsertCommand* const> insertCommands();
/// The command with this id, or nullptr.
const InsertCommand* findInsertCommand(std::string_view id);

// The command families, one file each.
std::span<const InsertCommand> textCommands();
std::span<const InsertCommand> insertMenuCommands();
std::span<const InsertCommand> tableCommands();
std::span<const InsertCommand> formCommands();
std::span<const InsertCommand> pageTemplates();
std::span<const InsertCommand> html5Commands();
