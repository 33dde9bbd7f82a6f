#include "charset_declaration.h"

#include <QRegularExpression>

namespace charset_declaration {
namespace {
const QRegularExpression& pattern() {
    static const QRegularExpression meta(
        QStringLiteral(R"(<meta\b[^>]*?charset\s*=\s*["']?\s*([A-Za-z0-9_:.()+\-]+))"),
        QRegularExpression::CaseInsensitiveOption);
    return meta;
}
} // namespace

std::vector<std::pair<qsizetype, qsizetype>> find(const QString& text) {
    std::vector<std::pair<qsizetype, qsizetype>> out;
    for (auto it = pattern().globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        out.emplace_back(match.capturedStart(1), match.capturedLength(1));
    }
    return out;
}

QString first(const QString& text) {
    const auto match = pattern().match(text);
    return match.hasMatch() ? match.captured(1) : QString();
}
} // namespace charset_declaration
