#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <vector>

/// What completion knows of CSS: the properties with their keyword values, the at-rules, the
/// pseudo-classes and pseudo-elements, each with a short description and a reference link, and
/// the named colours. Read once, the first time anything asks, from the data the program carries.
class CssData {
public:
    struct Entry {
        QString name;
        QString description; ///< Markdown
        QString reference;   ///< a link to its reference page, or empty
    };
    struct Property : Entry {
        QStringList values; ///< its keyword values and functions
        bool takesColour = false;
    };

    static const CssData& instance();

    const std::vector<Property>& properties() const { return properties_; }
    const Property* property(QStringView name) const;
    const std::vector<Entry>& atRules() const { return atRules_; }
    const std::vector<Entry>& pseudoClasses() const { return pseudoClasses_; }
    const std::vector<Entry>& pseudoElements() const { return pseudoElements_; }
    const QStringList& colours() const { return colours_; }
    const QStringList& colourFunctions() const { return colourFunctions_; }
    /// What every property takes (inherit, initial, var(), ...).
    const QStringList& wideValues() const { return wideValues_; }

private:
    CssData();
    std::vector<Property> properties_;
    std::vector<Entry> atRules_;
    std::vector<Entry> pseudoClasses_;
    std::vector<Entry> pseudoElements_;
    QStringList colours_;
    QStringList colourFunctions_;
    QStringList wideValues_;
};
