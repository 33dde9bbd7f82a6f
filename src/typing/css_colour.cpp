#include "css_colour.h"

#include "css_data.h"

#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <cmath>

namespace css_colour {
namespace {
// A number of rgb()/hsl(), and whether it was a percentage.
struct Number {
    double value = 0;
    bool percent = false;
};

std::optional<std::vector<Number>> numbers(QStringView inside) {
    QString list = inside.toString();
    list.replace(u',', u' ').replace(u'/', QStringLiteral(" "));
    std::vector<Number> out;
    for (const QString& word : list.split(u' ', Qt::SkipEmptyParts)) {
        Number n;
        QString digits = word;
        if (digits.endsWith(u'%')) {
            n.percent = true;
            digits.chop(1);
        } else if (digits.endsWith(QStringLiteral("deg"))) {
            digits.chop(3);
        }
        bool ok = false;
        n.value = digits.toDouble(&ok);
        if (!ok)
            return std::nullopt;
        out.push_back(n);
    }
    return out;
}

int channel(const Number& n) {
    return std::clamp(int(std::lround(n.percent ? n.value * 2.55 : n.value)), 0, 255);
}

double alpha(const Number& n) {
    return std::clamp(n.percent ? n.value / 100 : n.value, 0.0, 1.0);
}

QString hex(int value) {
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0'));
}
} // namespace

std::optional<QColor> parse(QStringView text) {
    text = text.trimmed();
    if (text.startsWith(u'#')) {
        const QStringView digits = text.mid(1);
        if (!std::all_of(digits.begin(), digits.end(), [](QChar c) { return std::isxdigit(c.unicode()) && c.unicode() < 128; }))
            return std::nullopt;
        const auto part = [&](qsizetype at, qsizetype length) {
            const int v = digits.mid(at, length).toString().toInt(nullptr, 16);
            return length == 1 ? v * 17 : v;
        };
        switch (digits.size()) {
        case 3:
        case 4:
            return QColor(part(0, 1), part(1, 1), part(2, 1), digits.size() == 4 ? part(3, 1) : 255);
        case 6:
        case 8:
            return QColor(part(0, 2), part(2, 2), part(4, 2), digits.size() == 8 ? part(6, 2) : 255);
        default:
            return std::nullopt;
        }
    }
    const qsizetype open = text.indexOf(u'(');
    if (open > 0 && text.endsWith(u')')) {
        const QString function = text.left(open).toString().toLower();
        const std::optional<std::vector<Number>> n = numbers(text.mid(open + 1, text.size() - open - 2));
        if (!n || n->size() < 3 || n->size() > 4)
            return std::nullopt;
        const double a = n->size() == 4 ? alpha((*n)[3]) : 1.0;
        if (function == u"rgb" || function == u"rgba") {
            QColor c(channel((*n)[0]), channel((*n)[1]), channel((*n)[2]));
            c.setAlphaF(float(a));
            return c;
        }
        if (function == u"hsl" || function == u"hsla") {
            const double h = std::fmod(std::fmod((*n)[0].value, 360) + 360, 360);
            QColor c = QColor::fromHslF(float(h / 360), float(std::clamp((*n)[1].value / 100, 0.0, 1.0)),
                                        float(std::clamp((*n)[2].value / 100, 0.0, 1.0)));
            c.setAlphaF(float(a));
            return c;
        }
        return std::nullopt;
    }
    const QString name = text.toString().toLower();
    if (name == u"transparent")
        return QColor(0, 0, 0, 0);
    static const QSet<QString> names(CssData::instance().colours().begin(), CssData::instance().colours().end());
    if (names.contains(name))
        return QColor::fromString(name);
    return std::nullopt;
}

QString format(const QColor& colour, QStringView original) {
    original = original.trimmed();
    const bool opaque = colour.alpha() == 255;
    if (original.startsWith(u'#')) {
        const bool upper = std::any_of(original.begin(), original.end(), [](QChar c) { return c.isUpper(); });
        QString out = QStringLiteral("#") + hex(colour.red()) + hex(colour.green()) + hex(colour.blue()) +
                      (opaque ? QString() : hex(colour.alpha()));
        // As short as it was when the short form holds the colour.
        const bool shortFits = out.size() == 7 && out[1] == out[2] && out[3] == out[4] && out[5] == out[6];
        if (shortFits && original.size() == 4)
            out = QStringLiteral("#") + out[1] + out[3] + out[5];
        return upper ? out.toUpper() : out;
    }
    const QString function = original.left(std::max<qsizetype>(0, original.indexOf(u'('))).toString().toLower();
    const bool commas = original.contains(u',');
    const QString separator = commas ? QStringLiteral(", ") : QStringLiteral(" ");
    const QString alphaPart = opaque ? QString()
                                     : (commas ? QStringLiteral(", ") : QStringLiteral(" / ")) +
                                           QString::number(std::round(colour.alphaF() * 100) / 100);
    if (function.startsWith(u"hsl")) {
        const int h = std::max(0, colour.hslHue());
        const QString body = QString::number(h) + separator + QString::number(std::lround(colour.hslSaturationF() * 100)) +
                             u'%' + separator + QString::number(std::lround(colour.lightnessF() * 100)) + u'%';
        return (commas && !opaque ? QStringLiteral("hsla(") : QStringLiteral("hsl(")) + body + alphaPart + u')';
    }
    if (function.startsWith(u"rgb")) {
        const QString body = QString::number(colour.red()) + separator + QString::number(colour.green()) + separator +
                             QString::number(colour.blue());
        return (commas && !opaque ? QStringLiteral("rgba(") : QStringLiteral("rgb(")) + body + alphaPart + u')';
    }
    // A name: kept when a name says the colour exactly.
    if (opaque)
        for (const QString& name : CssData::instance().colours())
            if (QColor::fromString(name) == colour)
                return name;
    return format(colour, u"#000000");
}

std::vector<Found> findAll(QStringView line, const std::function<bool(int start)>& wanted) {
    static const QRegularExpression candidates(
        QStringLiteral("#[0-9A-Fa-f]{3,8}\\b|\\b(?:rgba?|hsla?)\\([^()]*\\)|\\b[A-Za-z]+\\b"));
    std::vector<Found> out;
    for (auto it = candidates.globalMatch(line); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        // A name inside a longer name (`background-red`, `.red`) is no colour.
        const qsizetype start = m.capturedStart();
        if (m.capturedView().front().isLetter() && start > 0 && (line[start - 1] == u'-' || line[start - 1] == u'.' ||
                                                                    line[start - 1] == u'#'))
            continue;
        if (wanted && !wanted(int(start)))
            continue;
        if (const std::optional<QColor> colour = parse(m.capturedView()); colour && colour->alpha() > 0)
            out.push_back({int(start), int(m.capturedLength()), *colour});
    }
    return out;
}

} // namespace css_colour
