#include "check_config.h"

#include "spelling.h"

#include "base/regular_file.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

QString CheckConfig::globError(const QString& glob) {
    const QRegularExpression re(
        QRegularExpression::wildcardToRegularExpression(glob, QRegularExpression::UnanchoredWildcardConversion));
    return re.isValid() ? QString() : QStringLiteral("\"%1\" is not a valid pattern (%2)").arg(glob, re.errorString());
}

CheckConfig CheckConfig::readIn(const QString& folder) {
    CheckConfig config;
    const QString path = QDir(folder).filePath(QString::fromLatin1(kFileName));
    // A settings file may be a link to anything: only a small regular file is read, never waited on.
    const regular_file::Read read = regular_file::readAll(path, kLargestFile);
    if (read.opened.refusal == regular_file::Refusal::Missing)
        return config;
    config.path = path;
    if (!read.opened) {
        config.errors << QStringLiteral("%1: not read: %2").arg(QDir::toNativeSeparators(path), read.opened.reason);
        return config;
    }
    static const QRegularExpression separators(QStringLiteral("[\\s,]+"));
    int number = 0;
    for (const QByteArray& raw : read.bytes.split('\n')) {
        ++number;
        const auto bad = [&](const QString& what) {
            config.errors << QStringLiteral("%1:%2: %3").arg(QDir::toNativeSeparators(path)).arg(number).arg(what);
        };
        const QString line = QString::fromUtf8(raw).section(u'#', 0, 0).trimmed();
        if (line.isEmpty())
            continue;
        if (!line.contains(u'=')) {
            bad(QStringLiteral("not a setting (NAME = VALUE)"));
            continue;
        }
        const QString key = line.section(u'=', 0, 0).trimmed().toLower();
        const QString value = line.section(u'=', 1).trimmed();
        const QStringList words = value.split(separators, Qt::SkipEmptyParts);
        const auto flag = [&](bool& setting) {
            static const QStringList yes{"true", "yes", "1"}, no{"false", "no", "0"};
            if (yes.contains(value.toLower()))
                setting = true;
            else if (no.contains(value.toLower()))
                setting = false;
            else
                bad(QStringLiteral("%1 takes true or false, not \"%2\"").arg(key, value));
        };
        if (key == u"accessibility") {
            bool ok = false;
            const int level = value.toInt(&ok);
            if (ok && level >= 0 && level <= 3)
                config.accessibility = level;
            else
                bad(QStringLiteral("accessibility takes 0 to 3, not \"%1\"").arg(value));
        } else if (key == u"links") {
            flag(config.links);
        } else if (key == u"orphans") {
            flag(config.orphans);
        } else if (key == u"spelling") {
            flag(config.spelling);
        } else if (key == u"spelling-language") {
            if (spelling::isLanguageTag(value))
                config.spellingLanguage = value;
            else
                bad(QStringLiteral("spelling-language takes a language such as en or en-GB, not \"%1\"").arg(value));
        } else if (key == u"ignore") {
            for (const QString& w : words)
                config.ignored.insert(w);
        } else if (key == u"check") {
            for (const QString& w : words)
                config.handChecks.insert(w);
        } else if (key == u"include" || key == u"exclude") {
            if (words.isEmpty())
                bad(QStringLiteral("%1 needs a pattern").arg(key));
            for (const QString& w : words) {
                if (const QString error = globError(w); !error.isEmpty())
                    bad(error);
                else
                    (key == u"include" ? config.include : config.exclude) << w;
            }
        } else {
            bad(QStringLiteral("unknown setting \"%1\"").arg(key));
        }
    }
    return config;
}

CheckConfig CheckConfig::findFor(const QString& page) {
    if (page.isEmpty())
        return {};
    for (QDir dir = QFileInfo(page).absoluteDir();;) {
        const QString candidate = dir.filePath(QString::fromLatin1(kFileName));
        if (QFileInfo::exists(candidate) || QFileInfo(candidate).isSymLink())
            return readIn(dir.path());
        if (!dir.cdUp())
            return {};
    }
}
