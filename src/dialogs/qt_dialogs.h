#pragma once

#include "dialogs.h"

/// Dialogs shown with Qt's standard message boxes, input dialog and file dialogs.
class QtDialogs : public Dialogs {
public:
    bool askYesNo(QWidget* owner, const QString& text, Icon icon, const QString& title) override;
    void showMessage(QWidget* owner, const QString& text, Icon icon, const QString& title) override;
    int choose(QWidget* owner, const QString& text, Icon icon, const QString& title,
               const QStringList& buttons) override;
    int chooseRecovery(QWidget* owner, const QList<RecoveryListItem>& items, QList<int>* discarded) override;
    QString prompt(QWidget* owner, const QString& text, const QString& title,
                   const QString& defaultAnswer) override;
    std::optional<QString> askText(QWidget* owner, const QString& text, const QString& title,
                                   const QString& defaultAnswer) override;
    bool fillForm(QWidget* owner, const QString& title, QList<FormField>& fields) override;
    std::optional<QFont> chooseFont(QWidget* owner, const QFont& current) override;
    std::optional<QColor> chooseColour(QWidget* owner, const QColor& current) override;
    bool confirmChanges(QWidget* owner, const QString& title, const QString& text, const QList<ChangeListItem>& changes,
                        const QString& accept) override;
    QString openFileName(QWidget* owner, const FileDialogSetup& setup) override;
    QString saveFileName(QWidget* owner, const FileDialogSetup& setup) override;
    QString chooseFolder(QWidget* owner, const QString& caption, const QString& folder) override;
};
