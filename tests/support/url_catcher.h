#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

/// Stands in for the browser: register it with QDesktopServices::setUrlHandler to record the
/// addresses the program asks the platform to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};
