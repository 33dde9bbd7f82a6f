#include "scripted_dialogs.h"

#include <QWidget>

QVariant ScriptedDialogs::next() {
    QVariant v = script_.front();
    script_.pop_front();
    return v;
}

bool ScriptedDialogs::askYesNo(QWidget* owner, const QString& text, Icon icon, const QString& title) {
    shown.append({Kind::YesNo, text, title, icon, {}, {}, owner, {}});
    return hasNext() && next().toBool();
}

void ScriptedDialogs::showMessage(QWidget* owner, const QString& text, Icon icon, const QString& title) {
    shown.append({Kind::Message, text, title, icon, {}, {}, owner, owner ? owner->windowTitle() : QString()});
}

int ScriptedDialogs::choose(QWidget* owner, const QString& text, Icon icon, const QString& title,
                            const QStringList& buttons) {
    shown.append({Kind::Choice, text, title, icon, buttons.join(u'|'), {}, owner, {}});
    return hasNext() ? next().toInt() : -1;
}

bool ScriptedDialogs::confirmChanges(QWidget* owner, const QString& title, const QString& text,
                                     const QList<ChangeListItem>& changes, const QString& accept) {
    shown.append({Kind::Changes, text, title, Icon::None, accept, {}, owner, {}});
    changeItems = changes;
    return hasNext() && next().toBool();
}

int ScriptedDialogs::chooseRecovery(QWidget* owner, const QList<RecoveryListItem>& items, QList<int>* discarded) {
    shown.append({Kind::Recovery, QString(), QString(), Icon::None, {}, {}, owner, {}});
    recoveryItems = items;
    if (hasNext() && script_.front().typeId() == QMetaType::QVariantList)
        for (const QVariant& index : next().toList())
            discarded->append(index.toInt());
    return hasNext() ? next().toInt() : -1;
}

QString ScriptedDialogs::prompt(QWidget* owner, const QString& text, const QString& title,
                                const QString& defaultAnswer) {
    shown.append({Kind::Prompt, text, title, Icon::None, defaultAnswer, {}, owner, {}});
    if (!hasNext())
        return defaultAnswer;
    const QVariant v = next();
    return v.isValid() ? v.toString() : QString();
}

std::optional<QString> ScriptedDialogs::askText(QWidget* owner, const QString& text, const QString& title,
                                                const QString& defaultAnswer) {
    if (hasNext() && !script_.front().isValid()) {
        shown.append({Kind::Prompt, text, title, Icon::None, defaultAnswer, {}, owner, {}});
        next();
        return std::nullopt;
    }
    return prompt(owner, text, title, defaultAnswer);
}

bool ScriptedDialogs::fillForm(QWidget* owner, const QString& title, QList<FormField>& fields) {
    QStringList labels;
    for (const FormField& f : fields)
        labels << f.label + u'=' + f.value.toString();
    shown.append({Kind::Form, labels.join(u'|'), title, Icon::None, {}, {}, owner, {}});
    if (!hasNext())
        return true;
    const QVariant v = next();
    if (!v.isValid())
        return false;
    const QVariantList values = v.toList();
    for (qsizetype i = 0; i < values.size() && i < fields.size(); ++i)
        fields[i].value = values[i];
    return true;
}

std::optional<QFont> ScriptedDialogs::chooseFont(QWidget* owner, const QFont& current) {
    shown.append({Kind::Font, current.family(), QString(), Icon::None, {}, {}, owner, {}});
    const QVariant v = hasNext() ? next() : QVariant();
    return v.typeId() == QMetaType::QFont ? std::optional<QFont>(v.value<QFont>()) : std::nullopt;
}

std::optional<QColor> ScriptedDialogs::chooseColour(QWidget* owner, const QColor& current) {
    shown.append({Kind::Colour, current.name(QColor::HexArgb), QString(), Icon::None, {}, {}, owner, {}});
    const QVariant v = hasNext() ? next() : QVariant();
    return v.typeId() == QMetaType::QColor ? std::optional<QColor>(v.value<QColor>()) : std::nullopt;
}

QString ScriptedDialogs::chooseFolder(QWidget* owner, const QString& caption, const QString& folder) {
    shown.append({Kind::Folder, caption, caption, Icon::None, {}, folder, owner, {}});
    return hasNext() ? next().toString() : QString();
}

QString ScriptedDialogs::openFileName(QWidget* owner, const FileDialogSetup& setup) {
    shown.append({Kind::Open, setup.caption, setup.caption, Icon::None, setup.filters.join(u";;"), setup.folder,
                  owner, {}, setup.defaultSuffix});
    return hasNext() ? next().toString() : QString();
}

QString ScriptedDialogs::saveFileName(QWidget* owner, const FileDialogSetup& setup) {
    shown.append({Kind::Save, setup.caption, setup.caption, Icon::None, setup.filters.join(u";;"), setup.folder,
                  owner, {}, setup.defaultSuffix});
    return hasNext() ? next().toString() : QString();
}
