#pragma once

#include <QString>
#include <QStringList>

/// The files opened or saved last, most recent first. They are history, not options: they live
/// in the user's data folder beside the recovery copies, and the settings file never sees them.
/// Every change reads the list again first, so that two windows do not drop each other's files.
/// Replaces the history file @p path (in the user's data folder) with @p bytes, readable by the
/// user alone; a folder that cannot be written is no error.
void writeHistory(const QString& path, const QByteArray& bytes);

class RecentFiles {
public:
    static constexpr int kMost = 10;
    /// @p storePath: the file that keeps the list (the user's data folder when empty).
    explicit RecentFiles(QString storePath = QString());

    QStringList paths() const;
    void add(const QString& path);
    void remove(const QString& path);
    void clear();

private:
    void write(const QStringList& paths) const;
    QString storePath_;
};
