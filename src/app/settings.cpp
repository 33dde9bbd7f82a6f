#include "settings.h"

#include <QSettings>

namespace settings {
namespace {
const QString kOfferToSave = QStringLiteral("files/offerToSave");
const QString kCompleteEndTags = QStringLiteral("editing/completeEndTags");
const QString kIgnoredTagMessages = QStringLiteral("checkTags/ignoredMessages");
} // namespace

bool offerToSave() {
    return QSettings().value(kOfferToSave, false).toBool();
}

void setOfferToSave(bool on) {
    QSettings().setValue(kOfferToSave, on);
}
bool completeEndTags() {
    return QSettings().value(kCompleteEndTags, false).toBool();
}

void setCompleteEndTags(bool on) {
    QSettings().setValue(kCompleteEndTags, on);
}

QSet<QString> ignoredTagMessages() {
    const QStringList keys = QSettings().value(kIgnoredTagMessages).toStringList();
    return {keys.begin(), keys.end()};
}

void setIgnoredTagMessages(const QSet<QString>& keys) {
    QStringList list(keys.begin(), keys.end());
    list.sort();
    QSettings().setValue(kIgnoredTagMessages, list);
}
} // namespace settings
