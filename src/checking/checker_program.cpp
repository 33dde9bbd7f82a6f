#include "checker_process.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace checker_process {

QString program() {
    static const QString found = [] {
#ifdef Q_OS_WIN
        const QString name = QStringLiteral("tagloom-checker.exe");
#else
        const QString name = QStringLiteral("tagloom-checker");
#endif
        QStringList candidates;
        if (const QString named = qEnvironmentVariable("TAGLOOM_CHECKER"); !named.isEmpty())
            candidates << named;
        if (QCoreApplication::instance()) {
            const QString here = QCoreApplication::applicationDirPath();
            candidates << here + QLatin1Char('/') + name
                       << QDir::cleanPath(here + QStringLiteral("/" TAGLOOM_CHECKER_DIR "/") + name);
        }
        for (const QString& candidate : candidates)
            if (const QFileInfo info(candidate); info.isFile() && info.isExecutable())
                return info.absoluteFilePath();
        return QString();
    }();
    return found;
}

} // namespace checker_process
