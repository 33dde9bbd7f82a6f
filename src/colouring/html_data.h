#pragma once

#include <QString>
#include <QSet>
#include <QStringList>
#include <QStringView>
#include <vector>

/// What completion knows of HTML: the standard's elements, their attributes and allowed values,
/// with a short description and a reference link each, and the character references. Read once,
/// the first time anything asks, from the data the program carries.
class HtmlData {
public:
    struct Attribute {
        QString name;
        QString description; ///< Markdown
        QString reference;   ///< a link to its reference page, or empty
        QString valueSet;    ///< names the allowed values; "v" for an attribute that takes none
        bool takesNoValue() const { return valueSet == u"v"; }
    };
    struct Element {
        QString name;
        QString description;
        QString reference;
        bool isVoid = false;
        QStringList required; ///< attributes that must be present, the first to fill in first
        std::vector<Attribute> attributes; ///< its own, besides the global ones
    };
    struct CharacterReference {
        QString name;       ///< with its semicolon, or without it for a legacy name
        QString characters; ///< what it stands for
    };

    static const HtmlData& instance();

    const std::vector<Element>& elements() const { return elements_; }
    const Element* element(QStringView name) const;
    const std::vector<Attribute>& globalAttributes() const { return globalAttributes_; }
    /// The attribute @p name on @p element (its own, else a global one), or nullptr.
    const Attribute* attribute(QStringView element, QStringView name) const;
    QStringList values(const QString& valueSet) const;
    /// Whether the standard calls @p attribute obsolete on @p element (both in lower case).
    bool isObsoleteAttribute(QStringView element, QStringView attribute) const;
    const std::vector<CharacterReference>& characterReferences() const { return references_; }

private:
    HtmlData();
    std::vector<Element> elements_;
    std::vector<Attribute> globalAttributes_;
    std::vector<std::pair<QString, QStringList>> valueSets_;
    /// "attribute element" (element "*" for all), sorted: looked up for every attribute painted.
    std::vector<QString> obsolete_;
    QStringList obsoleteNames_;             ///< each attribute name once
    QSet<QStringView> obsoleteNameSet_;    ///< views of obsoleteNames_: most names are none of them
    std::vector<CharacterReference> references_;
};
