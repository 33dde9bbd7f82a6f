#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

class QWidget;

/// One recovery copy as the list of them shows it.
struct RecoveryListItem {
    QString file; ///< the file's name, or "Untitled"
    QString time;
    QString firstLine;
    qint64 size = 0;
};

/// One line a change across files will make, as the list shown before it is made gives it.
struct ChangeListItem {
    QString file;
    int line = 0;
    QString before;
    QString after;
};

/// One field of a form dialog.
struct FormField {
    QString label;
    QVariant value;
    /// When not empty, the field is a drop-down list of these, and its value the one chosen.
    QStringList choices = {};
};

/// What an Open or Save As dialog shows and where it starts.
struct FileDialogSetup {
    QString caption;
    QString folder;
    QStringList filters; ///< "Label (patterns)", the first one chosen
    bool showPatterns = true; ///< false: the labels already show their patterns
    /// Save As: added to a name typed without a suffix while the first filter is chosen.
    QString defaultSuffix = {};
};

/// Every modal dialog the program shows goes through this interface, so that tests can answer
/// them from a script and check their exact texts.
class Dialogs {
public:
    enum class Icon { None, Question, Exclamation };

    virtual ~Dialogs() = default;

    /// Yes/No message box. An empty @p title shows the application's title. Returns true for Yes.
    virtual bool askYesNo(QWidget* owner, const QString& text, Icon icon, const QString& title) = 0;
    /// Message box with an OK button.
    virtual void showMessage(QWidget* owner, const QString& text, Icon icon, const QString& title) = 0;
    /// Message box with the given buttons, the first one the default. Returns the index of the
    /// button chosen, or -1 when the box was closed without one (Escape).
    virtual int choose(QWidget* owner, const QString& text, Icon icon, const QString& title,
                       const QStringList& buttons) = 0;
    /// The list of recovery copies. Returns the index of the copy to recover, or -1 to keep the
    /// rest for later; @p discarded receives the indexes the user discarded on the way.
    virtual int chooseRecovery(QWidget* owner, const QList<RecoveryListItem>& items, QList<int>* discarded) = 0;
    /// Prompt with one edit field holding @p defaultAnswer. Cancel or closing gives an empty string.
    virtual QString prompt(QWidget* owner, const QString& text, const QString& title,
                           const QString& defaultAnswer) = 0;
    /// The same prompt, telling a cancel apart: nullopt when the user cancelled or closed it.
    virtual std::optional<QString> askText(QWidget* owner, const QString& text, const QString& title,
                                           const QString& defaultAnswer) = 0;
    /// A dialog of several fields, each shown by its value's type: a QString as a line, an int
    /// as a number, a bool as a check box, a field with choices as a drop-down list. Returns false when cancelled; else @p fields hold the answers.
    virtual bool fillForm(QWidget* owner, const QString& title, QList<FormField>& fields) = 0;
    /// The lines a change across files will make, listed by file, before anything changes.
    /// Returns true when the user goes on (the @p accept button), false for Cancel.
    virtual bool confirmChanges(QWidget* owner, const QString& title, const QString& text,
                                const QList<ChangeListItem>& changes, const QString& accept) = 0;
    /// The font dialog, starting at @p current; nullopt when cancelled.
    virtual std::optional<QFont> chooseFont(QWidget* owner, const QFont& current) = 0;
    /// The colour dialog (with an alpha channel), starting at @p current; nullopt when cancelled.
    virtual std::optional<QColor> chooseColour(QWidget* owner, const QColor& current) = 0;
    /// The platform's Open dialog. Returns the chosen path, or empty on cancel.
    virtual QString openFileName(QWidget* owner, const FileDialogSetup& setup) = 0;
    /// The platform's Save As dialog: no overwrite question, no extension added.
    virtual QString saveFileName(QWidget* owner, const FileDialogSetup& setup) = 0;
    /// The platform's folder chooser, starting at @p folder. Returns the folder, or empty on cancel.
    virtual QString chooseFolder(QWidget* owner, const QString& caption, const QString& folder) = 0;
};
