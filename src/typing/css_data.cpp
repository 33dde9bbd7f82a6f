#include "css_data.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace {
QStringList strings(const QJsonValue& value) {
    QStringList out;
    for (const QJsonValue& v : value.toArray())
        out << v.toString();
    return out;
}

CssData::Entry entry(const QJsonObject& o) {
    return {o.value(u"n").toString(), o.value(u"d").toString(), o.value(u"r").toString()};
}

std::vector<CssData::Entry> entries(const QJsonValue& value) {
    std::vector<CssData::Entry> out;
    for (const QJsonValue& v : value.toArray())
        out.push_back(entry(v.toObject()));
    return out;
}
} // namespace

const CssData& CssData::instance() {
    static const CssData data;
    return data;
}

CssData::CssData() {
    // The resources live in a static library: naming them links them in.
    Q_INIT_RESOURCE(tagloom);
    QFile file(QStringLiteral(":/tagloom/css-data.json"));
    if (!file.open(QIODevice::ReadOnly))
        return; // the program is built with it: nothing to offer only if the build is broken
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    for (const QJsonValue& v : root.value(u"properties").toArray()) {
        const QJsonObject o = v.toObject();
        Property p;
        static_cast<Entry&>(p) = entry(o);
        p.values = strings(o.value(u"v"));
        p.takesColour = o.value(u"c").toBool();
        properties_.push_back(std::move(p));
    }
    std::sort(properties_.begin(), properties_.end(), [](const Property& a, const Property& b) { return a.name < b.name; });
    atRules_ = entries(root.value(u"atRules"));
    pseudoClasses_ = entries(root.value(u"pseudoClasses"));
    pseudoElements_ = entries(root.value(u"pseudoElements"));
    colours_ = strings(root.value(u"colours"));
    colourFunctions_ = strings(root.value(u"colourFunctions"));
    wideValues_ = strings(root.value(u"wideValues"));
}

const CssData::Property* CssData::property(QStringView name) const {
    const auto it = std::lower_bound(properties_.begin(), properties_.end(), name,
                                     [](const Property& p, QStringView n) { return QStringView(p.name) < n; });
    return it != properties_.end() && it->name == name ? &*it : nullptr;
}
