#include "html_data.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace {
HtmlData::Attribute readAttribute(const QJsonObject& o) {
    return {o.value(u"n").toString(), o.value(u"d").toString(), o.value(u"r").toString(), o.value(u"v").toString()};
}

QStringList strings(const QJsonValue& v) {
    QStringList out;
    for (const QJsonValue& s : v.toArray())
        out << s.toString();
    return out;
}

template <typename List>
auto findNamed(const List& list, QStringView name) {
    return std::find_if(list.begin(), list.end(), [&](const auto& e) { return e.first == name; });
}
} // namespace

const HtmlData& HtmlData::instance() {
    static const HtmlData data;
    return data;
}

HtmlData::HtmlData() {
    // The resources live in a static library: naming them links them in.
    Q_INIT_RESOURCE(tagloom);
    QFile file(QStringLiteral(":/tagloom/html-data.json"));
    if (!file.open(QIODevice::ReadOnly))
        return; // the program is built with it: nothing to offer only if the build is broken
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    for (const QJsonValue& v : root.value(u"elements").toArray()) {
        const QJsonObject o = v.toObject();
        Element e{o.value(u"n").toString(), o.value(u"d").toString(), o.value(u"r").toString(),
                  o.value(u"void").toBool(), strings(o.value(u"req")), {}};
        for (const QJsonValue& a : o.value(u"a").toArray())
            e.attributes.push_back(readAttribute(a.toObject()));
        elements_.push_back(std::move(e));
    }
    for (const QJsonValue& a : root.value(u"globalAttributes").toArray())
        globalAttributes_.push_back(readAttribute(a.toObject()));
    const QJsonObject sets = root.value(u"valueSets").toObject();
    for (auto it = sets.begin(); it != sets.end(); ++it)
        valueSets_.emplace_back(it.key(), strings(it.value()));
    const QJsonObject obsolete = root.value(u"obsoleteAttributes").toObject();
    for (auto it = obsolete.begin(); it != obsolete.end(); ++it)
        for (const QString& attribute : strings(it.value()))
            obsolete_.push_back(attribute + u' ' + it.key());
    std::sort(obsolete_.begin(), obsolete_.end());
    for (const QString& entry : obsolete_)
        if (const QString name = entry.section(u' ', 0, 0); !obsoleteNames_.contains(name))
            obsoleteNames_ << name;
    for (const QString& name : std::as_const(obsoleteNames_))
        obsoleteNameSet_.insert(name);
    const QJsonObject entities = root.value(u"entities").toObject();
    for (auto it = entities.begin(); it != entities.end(); ++it)
        references_.push_back({it.key() + u';', it.value().toString()});
    for (const QJsonValue& v : root.value(u"legacyEntities").toArray())
        references_.push_back({v.toString(), entities.value(v.toString()).toString()});
    // By name, the form with its semicolon before the old one without.
    const auto key = [](const CharacterReference& r) {
        return std::pair(QStringView(r.name).chopped(r.name.endsWith(u';') ? 1 : 0), !r.name.endsWith(u';'));
    };
    std::sort(references_.begin(), references_.end(),
              [&](const CharacterReference& a, const CharacterReference& b) { return key(a) < key(b); });
}

const HtmlData::Element* HtmlData::element(QStringView name) const {
    const auto it = std::find_if(elements_.begin(), elements_.end(),
                                 [&](const Element& e) { return name.compare(e.name, Qt::CaseInsensitive) == 0; });
    return it == elements_.end() ? nullptr : &*it;
}

const HtmlData::Attribute* HtmlData::attribute(QStringView elementName, QStringView name) const {
    const auto named = [&](const Attribute& a) { return name.compare(a.name, Qt::CaseInsensitive) == 0; };
    if (const Element* e = element(elementName)) {
        const auto it = std::find_if(e->attributes.begin(), e->attributes.end(), named);
        if (it != e->attributes.end())
            return &*it;
    }
    const auto it = std::find_if(globalAttributes_.begin(), globalAttributes_.end(), named);
    return it == globalAttributes_.end() ? nullptr : &*it;
}

QStringList HtmlData::values(const QString& valueSet) const {
    const auto it = findNamed(valueSets_, valueSet);
    return it == valueSets_.end() ? QStringList() : it->second;
}

bool HtmlData::isObsoleteAttribute(QStringView element, QStringView attribute) const {
    // Most attributes are no obsolete one's name: one hash tells, with no string built.
    if (!obsoleteNameSet_.contains(attribute))
        return false;
    const auto first = std::lower_bound(obsolete_.begin(), obsolete_.end(), attribute,
                                        [](const QString& entry, QStringView a) { return QStringView(entry) < a; });
    for (auto it = first; it != obsolete_.end() && it->startsWith(attribute) && it->size() > attribute.size(); ++it) {
        if (it->at(attribute.size()) != u' ')
            continue;
        const QStringView on = QStringView(*it).mid(attribute.size() + 1);
        if (on == element || on == u"*")
            return true;
    }
    return false;
}
