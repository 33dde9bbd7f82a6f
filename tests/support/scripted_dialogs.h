#pragma once

#include "dialogs/dialogs.h"

#include <QList>
#include <QString>
#include <QVariant>
#include <deque>

/// A Dialogs double for tests: answers come from a script, and every dialog shown is recorded
/// so that tests can check its exact texts.
class ScriptedDialogs : public Dialogs {
public:
    enum class Kind { YesNo, Message, Choice, Recovery, Prompt, Form, Font, Colour, Open, Save, Folder, Changes };
    struct Shown {
        Kind kind;
        QString text;
        QString title;
        Icon icon = Icon::None;
        QString defaultAnswer; ///< prompts; the filters for file dialogs, joined by ;; choices' buttons, joined by |
        QString folder;
        QWidget* owner = nullptr;
        QString ownerTitle; ///< messages: the owner's title while the message was up
        QString defaultSuffix = {}; ///< file dialogs
    };

    /// Queues answers, taken in order: bool for Yes/No, int (a button's index) for choices,
    /// QString for prompts and file dialogs. A prompt with no queued answer accepts its default;
    /// an unscripted question answers No, an unscripted choice is closed with Escape (-1) and an
    /// unscripted file dialog is cancelled.
    void answer(const QVariant& value) { script_.push_back(value); }
    void cancelPrompt() { script_.push_back(QVariant()); }

    QList<Shown> shown;
    QList<RecoveryListItem> recoveryItems; ///< what the last recovery list showed
    QList<ChangeListItem> changeItems;     ///< what the last list of changes showed
    int unanswered() const { return int(script_.size()); }

    bool askYesNo(QWidget* owner, const QString& text, Icon icon, const QString& title) override;
    void showMessage(QWidget* owner, const QString& text, Icon icon, const QString& title) override;
    int choose(QWidget* owner, const QString& text, Icon icon, const QString& title,
               const QStringList& buttons) override;
    /// Answers from the script: an int to recover that copy (-1 to keep them all); a list of
    /// ints discards those copies first, and the next answer decides.
    int chooseRecovery(QWidget* owner, const QList<RecoveryListItem>& items, QList<int>* discarded) override;
    QString prompt(QWidget* owner, const QString& text, const QString& title,
                   const QString& defaultAnswer) override;
    std::optional<QString> askText(QWidget* owner, const QString& text, const QString& title,
                                   const QString& defaultAnswer) override;
    /// A QVariantList answer replaces the fields' values in order; no answer keeps them; a
    /// cancelled prompt (cancelPrompt()) cancels the form.
    bool fillForm(QWidget* owner, const QString& title, QList<FormField>& fields) override;
    /// A QFont answer is chosen; anything else cancels.
    std::optional<QFont> chooseFont(QWidget* owner, const QFont& current) override;
    /// A QColor answer is chosen; anything else cancels.
    std::optional<QColor> chooseColour(QWidget* owner, const QColor& current) override;
    /// A bool from the script; unscripted, the change is cancelled.
    bool confirmChanges(QWidget* owner, const QString& title, const QString& text, const QList<ChangeListItem>& changes,
                        const QString& accept) override;
    QString openFileName(QWidget* owner, const FileDialogSetup& setup) override;
    QString saveFileName(QWidget* owner, const FileDialogSetup& setup) override;
    QString chooseFolder(QWidget* owner, const QString& caption, const QString& folder) override;

private:
    std::deque<QVariant> script_;
    bool hasNext() const { return !script_.empty(); }
    QVariant next();
};
