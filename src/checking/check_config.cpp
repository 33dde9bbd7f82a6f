#include "check_config.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

CheckConfig CheckConfig::readIn(const QString& folder) {
    CheckConfig config;
    QFile file(QDir(folder).filePath(QString::fromLatin1(kFileName)));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return config;
    config.path = file.fileName();
    static const QRegularExpression separators(QStringLiteral("[\\s,]+"));
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).section(u'#', 0, 0).trimmed();
        if (line.isEmpty())
            continue;
        const QString key = line.section(u'=', 0, 0).trimmed().toLower();
        const QString value = line.section(u'=', 1).trimmed();
        const QStringList words = value.split(separators, Qt::SkipEmptyParts);
        const bool on = value == u"true" || value == u"yes" || value == u"1";
        if (key == u"accessibility")
            config.accessibility = std::clamp(value.toInt(), 0, 3);
        else if (key == u"links")
            config.links = on;
        else if (key == u"orphans")
            config.orphans = on;
        else if (key == u"ignore")
            for (const QString& w : words)
                config.ignored.insert(w);
        else if (key == u"include")
            config.include += words;
        else if (key == u"exclude")
            config.exclude += words;
        else
            config.unknown << key;
    }
    return config;
}

CheckConfig CheckConfig::findFor(const QString& page) {
    if (page.isEmpty())
        return {};
    for (QDir dir = QFileInfo(page).absoluteDir();;) {
        if (QFileInfo::exists(dir.filePath(QString::fromLatin1(kFileName))))
            return readIn(dir.path());
        if (!dir.cdUp())
            return {};
    }
}
