#include "qt_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QColorDialog>
#include <QFontDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
QMessageBox::Icon toQt(Dialogs::Icon icon) {
    switch (icon) {
    case Dialogs::Icon::Question:
        return QMessageBox::Question;
    case Dialogs::Icon::Exclamation:
        return QMessageBox::Warning;
    case Dialogs::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// A box without a title of its own shows the program's.
QString titleOrApplication(const QString& title) {
    return title.isEmpty() ? QStringLiteral("Tagloom") : title;
}
} // namespace

bool QtDialogs::askYesNo(QWidget* owner, const QString& text, Icon icon, const QString& title) {
    QMessageBox box(toQt(icon), titleOrApplication(title), text, QMessageBox::Yes | QMessageBox::No, owner);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void QtDialogs::showMessage(QWidget* owner, const QString& text, Icon icon, const QString& title) {
    QMessageBox box(toQt(icon), titleOrApplication(title), text, QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

int QtDialogs::choose(QWidget* owner, const QString& text, Icon icon, const QString& title,
                      const QStringList& buttons) {
    QMessageBox box(toQt(icon), titleOrApplication(title), text, QMessageBox::NoButton, owner);
    box.setTextFormat(Qt::PlainText);
    QList<QAbstractButton*> added;
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        // The last button is the safe way out: Escape takes it.
        const auto role =
            i + 1 == buttons.size() && buttons.size() > 1 ? QMessageBox::RejectRole : QMessageBox::AcceptRole;
        added << box.addButton(buttons[i], role);
    }
    if (!added.isEmpty())
        box.setDefaultButton(qobject_cast<QPushButton*>(added.first()));
    if (added.size() > 1)
        box.setEscapeButton(added.last());
    box.exec();
    return int(added.indexOf(box.clickedButton()));
}

QString QtDialogs::prompt(QWidget* owner, const QString& text, const QString& title,
                          const QString& defaultAnswer) {
    return askText(owner, text, title, defaultAnswer).value_or(QString());
}

std::optional<QString> QtDialogs::askText(QWidget* owner, const QString& text, const QString& title,
                                          const QString& defaultAnswer) {
    QInputDialog dialog(owner);
    dialog.setWindowTitle(title);
    dialog.setLabelText(text);
    dialog.setTextValue(defaultAnswer);
    dialog.setInputMode(QInputDialog::TextInput);
    // The longest prompt is 87 characters: let it wrap rather than stretch the dialog.
    if (auto* label = dialog.findChild<QLabel*>())
        label->setWordWrap(true);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

bool QtDialogs::fillForm(QWidget* owner, const QString& title, QList<FormField>& fields) {
    QDialog dialog(owner);
    dialog.setWindowTitle(title);
    auto* form = new QFormLayout(&dialog);
    QList<QWidget*> editors;
    for (const FormField& field : fields) {
        QWidget* editor = nullptr;
        if (!field.choices.isEmpty()) {
            auto* list = new QComboBox(&dialog);
            list->addItems(field.choices);
            list->setCurrentText(field.value.toString());
            editor = list;
        } else if (field.value.typeId() == QMetaType::Bool) {
            auto* box = new QCheckBox(&dialog);
            box->setChecked(field.value.toBool());
            editor = box;
        } else if (field.value.typeId() == QMetaType::Int) {
            auto* spin = new QSpinBox(&dialog);
            spin->setRange(1, 100);
            spin->setValue(field.value.toInt());
            editor = spin;
        } else {
            editor = new QLineEdit(field.value.toString(), &dialog);
        }
        form->addRow(field.label, editor);
        editors << editor;
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (auto* list = qobject_cast<QComboBox*>(editors[i]))
            fields[i].value = list->currentText();
        else if (auto* box = qobject_cast<QCheckBox*>(editors[i]))
            fields[i].value = box->isChecked();
        else if (auto* spin = qobject_cast<QSpinBox*>(editors[i]))
            fields[i].value = spin->value();
        else
            fields[i].value = static_cast<QLineEdit*>(editors[i])->text();
    }
    return true;
}

namespace {
// No existence check and no overwrite question: the chosen name is used as typed, with at most
// the setup's suffix added.
QString runFileDialog(QWidget* owner, const FileDialogSetup& setup, QFileDialog::AcceptMode mode) {
    QFileDialog dialog(owner, setup.caption, setup.folder);
    dialog.setNameFilters(setup.filters);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::HideNameFilterDetails, !setup.showPatterns);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    // The suffix goes on only while the first filter is chosen: with "All files" a name stays as typed.
    const auto followFilter = [&dialog, &setup] {
        const bool first = !setup.filters.isEmpty() && dialog.selectedNameFilter() == setup.filters.constFirst();
        dialog.setDefaultSuffix(first ? setup.defaultSuffix : QString());
    };
    followFilter();
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, followFilter);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}
} // namespace

std::optional<QFont> QtDialogs::chooseFont(QWidget* owner, const QFont& current) {
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, current, owner, QStringLiteral("Font"));
    return ok ? std::optional<QFont>(font) : std::nullopt;
}

std::optional<QColor> QtDialogs::chooseColour(QWidget* owner, const QColor& current) {
    const QColor colour = QColorDialog::getColor(current, owner, QStringLiteral("Pick Colour"), QColorDialog::ShowAlphaChannel);
    return colour.isValid() ? std::optional<QColor>(colour) : std::nullopt;
}

QString QtDialogs::openFileName(QWidget* owner, const FileDialogSetup& setup) {
    return runFileDialog(owner, setup, QFileDialog::AcceptOpen);
}

QString QtDialogs::saveFileName(QWidget* owner, const FileDialogSetup& setup) {
    return runFileDialog(owner, setup, QFileDialog::AcceptSave);
}

QString QtDialogs::chooseFolder(QWidget* owner, const QString& caption, const QString& folder) {
    return QFileDialog::getExistingDirectory(owner, caption, folder);
}

bool QtDialogs::confirmChanges(QWidget* owner, const QString& title, const QString& text,
                               const QList<ChangeListItem>& changes, const QString& accept) {
    QDialog dialog(owner);
    dialog.setWindowTitle(titleOrApplication(title));
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel(text, &dialog);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    layout->addWidget(label);
    auto* list = new QTreeWidget(&dialog);
    list->setObjectName(QStringLiteral("changeList"));
    list->setHeaderLabels({QStringLiteral("File and line"), QStringLiteral("Now"), QStringLiteral("Then")});
    QTreeWidgetItem* file = nullptr;
    for (const ChangeListItem& change : changes) {
        if (!file || file->text(0) != change.file) {
            file = new QTreeWidgetItem(list, {change.file});
            file->setExpanded(true);
        }
        new QTreeWidgetItem(file, {QStringLiteral("line %1").arg(change.line), change.before, change.after});
    }
    list->expandAll();
    list->resizeColumnToContents(0);
    list->setColumnWidth(1, 320);
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* go = buttons->addButton(accept, QDialogButtonBox::AcceptRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    go->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    dialog.resize(860, 420);
    return dialog.exec() == QDialog::Accepted;
}

int QtDialogs::chooseRecovery(QWidget* owner, const QList<RecoveryListItem>& items, QList<int>* discarded) {
    QDialog dialog(owner);
    dialog.setWindowTitle(QStringLiteral("Recover Unsaved Work"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(
        new QLabel(QStringLiteral("Tagloom kept copies of text that was never saved. Recover one "
                                  "to open it as an unsaved page, or discard the ones you do "
                                  "not need."),
                   &dialog));
    auto* list = new QTreeWidget(&dialog);
    list->setRootIsDecorated(false);
    list->setHeaderLabels({QStringLiteral("File"), QStringLiteral("Kept"), QStringLiteral("First line"),
                           QStringLiteral("Size")});
    for (int i = 0; i < items.size(); ++i) {
        auto* row = new QTreeWidgetItem(list, {items[i].file, items[i].time, items[i].firstLine,
                                               QStringLiteral("%1 characters").arg(items[i].size)});
        row->setData(0, Qt::UserRole, i);
    }
    list->setCurrentItem(list->topLevelItem(0));
    list->resizeColumnToContents(0);
    list->resizeColumnToContents(1);
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* recover = buttons->addButton(QStringLiteral("Recover"), QDialogButtonBox::AcceptRole);
    QPushButton* discard = buttons->addButton(QStringLiteral("Discard"), QDialogButtonBox::ActionRole);
    buttons->addButton(QStringLiteral("Keep for Later"), QDialogButtonBox::RejectRole);
    recover->setDefault(true);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(list, &QTreeWidget::itemActivated, &dialog, &QDialog::accept);
    QObject::connect(discard, &QPushButton::clicked, &dialog, [&] {
        if (QTreeWidgetItem* row = list->currentItem()) {
            discarded->append(row->data(0, Qt::UserRole).toInt());
            delete row;
        }
        if (list->topLevelItemCount() == 0)
            dialog.reject();
    });
    dialog.resize(640, 300);
    if (dialog.exec() != QDialog::Accepted || !list->currentItem())
        return -1;
    return list->currentItem()->data(0, Qt::UserRole).toInt();
}
