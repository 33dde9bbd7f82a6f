#include "settings.h"

#include <QSettings>

namespace settings {
namespace {
const QString kOfferToSave = QStringLiteral("files/offerToSave");
} // namespace

bool offerToSave() {
    return QSettings().value(kOfferToSave, false).toBool();
}

void setOfferToSave(bool on) {
    QSettings().setValue(kOfferToSave, on);
}
} // namespace settings
