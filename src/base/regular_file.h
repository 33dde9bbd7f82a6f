#pragma once

#include <QByteArray>
#include <QFile>
#include <QSize>
#include <QString>

/// Opening a file that may be anything: a page's folder can hold links to devices, pipes and
/// huge sparse files. Only a regular file (a link is followed, as Open does) is opened, a pipe
/// or a device is never waited on or read, and the size limit is that of the file itself, told
/// by the open file so that nothing swapped in after a look gets through.
namespace regular_file {

enum class Refusal { None, Missing, Folder, NotRegular, TooBig, Unreadable, ReadFailed };

struct Opened {
    Refusal refusal = Refusal::None;
    QString reason; ///< for a message: "it is a folder", "it is not a regular file (...)"
    qint64 size = 0;
    explicit operator bool() const { return refusal == Refusal::None; }
};

/// Opens @p path read-only into @p file when it is a regular file of at most @p largest bytes.
Opened open(QFile& file, const QString& path, qint64 largest);

struct Read {
    QByteArray bytes;
    Opened opened;
};
/// The whole of a regular file of at most @p largest bytes, read in pieces where its size is not
/// known in advance (files of /proc say 0); ReadFailed when reading it fails once it is open.
Read readAll(const QString& path, qint64 largest);

/// The pixel size an image file's header gives (PNG, JPEG, GIF, WebP, SVG, and any format Qt
/// reads), read only from a regular file; invalid when there is none to tell.
QSize imageSize(const QString& path);

} // namespace regular_file
