#include "recovery_store.h"

#include "held_lock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>
#include <algorithm>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
const QString kSuffix = QStringLiteral(".tgr");

QString newId() {
    return QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")) +
           QLatin1Char('-') + QString::number(QCoreApplication::applicationPid()) + QLatin1Char('-') +
           QString::number(QRandomGenerator::global()->generate() % 100000);
}

QString firstLineOf(const QString& text) {
    const qsizetype end = text.indexOf(QStringLiteral("\r\n"));
    return text.left(std::min<qsizetype>(end < 0 ? text.size() : end, 120));
}

QJsonObject headerOf(const RecoverySnapshot& s, bool closedByUser, bool utf16) {
    QJsonArray lineEnds;
    for (const LineEndAt& at : s.lineEnds)
        lineEnds.append(QJsonArray{at.line, int(at.style)});
    return {{QStringLiteral("path"), s.path},
            {QStringLiteral("encoding"), QString::fromLatin1(s.format.encoding)},
            {QStringLiteral("bom"), s.format.byteOrderMark},
            {QStringLiteral("lineEnd"), int(s.format.lineEnd)},
            {QStringLiteral("finalLineEnd"), s.format.finalLineEnd},
            {QStringLiteral("lineEnds"), lineEnds},
            {QStringLiteral("saved"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)},
            {QStringLiteral("pid"), QCoreApplication::applicationPid()},
            {QStringLiteral("closedByUser"), closedByUser},
            {QStringLiteral("utf16"), utf16},
            {QStringLiteral("size"), s.text.size()},
            {QStringLiteral("firstLine"), firstLineOf(s.text)}};
}

// Room for the line ends of a page of millions of lines, and far less than a file could hold.
constexpr qint64 kLongestHeader = qint64(64) << 20;

// Opens a file of the folder for reading: never through a link, never a pipe or a device (which
// would hang or never end), and only the user's own.
bool openOwnFile(QFile& file, const QString& path) {
#ifdef Q_OS_UNIX
    const int fd = openOwnRegularFile(path, O_RDONLY);
    if (fd < 0)
        return false;
    if (file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return true;
    ::close(fd);
    return false;
#else
    file.setFileName(path);
    return file.open(QIODevice::ReadOnly);
#endif
}

std::optional<QJsonObject> readHeader(QFile& file, const QString& path) {
    if (!openOwnFile(file, path))
        return std::nullopt;
    const QByteArray line = file.readLine(kLongestHeader);
    if (!line.endsWith('\n'))
        return std::nullopt;
    const QJsonDocument header = QJsonDocument::fromJson(line);
    if (!header.isObject())
        return std::nullopt;
    return header.object();
}

bool writeCopy(const QString& path, const QJsonObject& header, const QByteArray& body) {
#ifdef Q_OS_UNIX
    // A new file takes the name: whatever else stands there (a link, which the save would
    // follow, or a file that is not ours alone) goes first.
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) == 0 &&
        (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || st.st_nlink != 1))
        ::unlink(QFile::encodeName(path).constData());
#endif
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(QJsonDocument(header).toJson(QJsonDocument::Compact) + '\n');
    file.write(body);
    return file.commit();
}
} // namespace

RecoveryStore::RecoveryStore(QString folder) : folder_(std::move(folder)) {
    if (folder_.isEmpty())
        folder_ =
            QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/recovery");
    startNewDocument();
}

RecoveryStore::~RecoveryStore() = default;

QString RecoveryStore::copyPath(const QString& id) const {
    return folder_ + QLatin1Char('/') + id + kSuffix;
}

QString RecoveryStore::lockPath(const QString& id) const {
    return folder_ + QLatin1Char('/') + id + QStringLiteral(".lock");
}

bool RecoveryStore::folderIsOurs(bool create) const {
    // The folder holds unsaved text: only a real folder of the user's own, which nobody else may
    // enter, is used; one that is a link, or someone else's, is not.
#ifdef Q_OS_UNIX
    const QByteArray name = QFile::encodeName(folder_);
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0) {
        if (errno != ENOENT || !create || !QDir().mkpath(folder_) || ::lstat(name.constData(), &st) != 0)
            return false;
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        return false;
    return (st.st_mode & 07777) == 0700 || ::chmod(name.constData(), 0700) == 0;
#else
    if (!create && !QDir(folder_).exists())
        return false;
    if (!QDir().mkpath(folder_))
        return false;
    QFile::setPermissions(folder_, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return true;
#endif
}

bool RecoveryStore::lockOwn() {
    if (!folderIsOurs(true))
        return false;
    lock_ = std::make_unique<HeldLock>(lockPath(ownId_));
    return lock_->tryLock();
}

void RecoveryStore::startNewDocument() {
    removeOwn();
    ownId_ = newId();
    lock_.reset();
}

bool RecoveryStore::adopt(const QString& id) {
    if (!folderIsOurs())
        return false;
    auto lock = std::make_unique<HeldLock>(lockPath(id));
    if (!lock->tryLock())
        return false;
    removeOwn();
    ownId_ = id;
    lock_ = std::move(lock);
    return true;
}

bool RecoveryStore::write(const QString& folder, const QString& id, const RecoverySnapshot& snapshot,
                          bool closedByUser) {
    // UTF-8 halves the bytes written; only a broken surrogate pair needs UTF-16 to come back whole.
    QStringEncoder utf8(QStringConverter::Utf8);
    QByteArray body = utf8.encode(snapshot.text);
    const bool utf16 = utf8.hasError();
    if (utf16)
        body = QByteArray(reinterpret_cast<const char*>(snapshot.text.utf16()), snapshot.text.size() * 2);
    return writeCopy(folder + QLatin1Char('/') + id + kSuffix, headerOf(snapshot, closedByUser, utf16), body);
}

bool RecoveryStore::keepAfterClose(const RecoverySnapshot& snapshot) {
    if (!prepareOwn())
        return false;
    const bool written = write(folder_, ownId_, snapshot, true);
    // Let go: the copy now belongs to no running instance, so the next start offers it.
    lock_.reset();
    QFile::remove(lockPath(ownId_));
    ownId_.clear();
    return written;
}

void RecoveryStore::removeOwn() {
    if (ownId_.isEmpty())
        return;
    QFile::remove(copyPath(ownId_));
    if (lock_) {
        QFile::remove(lockPath(ownId_));
        lock_.reset();
    }
}

QList<RecoveryCopy> RecoveryStore::orphans() {
    QList<RecoveryCopy> out;
    if (!folderIsOurs())
        return out;
    const QDateTime oldest = QDateTime::currentDateTimeUtc().addDays(-kKeepDays);
    const QDir dir(folder_);
    for (const QString& name : dir.entryList({QLatin1Char('*') + kSuffix}, QDir::Files)) {
        const QString id = name.chopped(kSuffix.size());
        if (id == ownId_)
            continue;
        HeldLock lock(lockPath(id));
        if (!lock.tryLock())
            continue; // a running instance's copy
        QFile file;
        const auto header = readHeader(file, copyPath(id));
        const QDateTime saved =
            header
                ? QDateTime::fromString(header->value(QStringLiteral("saved")).toString(), Qt::ISODateWithMs)
                : QDateTime();
        if (!header || !saved.isValid() || saved < oldest) {
            file.close();
            QFile::remove(copyPath(id));
            lock.release();
            QFile::remove(lockPath(id));
            continue;
        }
        out.append({id, header->value(QStringLiteral("path")).toString(), saved,
                    header->value(QStringLiteral("size")).toInteger(),
                    header->value(QStringLiteral("firstLine")).toString(),
                    header->value(QStringLiteral("closedByUser")).toBool(),
                    header->value(QStringLiteral("offered")).toBool()});
    }
    std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.saved > b.saved; });
    return out;
}

std::optional<RecoverySnapshot> RecoveryStore::read(const QString& id) {
    if (!folderIsOurs())
        return std::nullopt;
    HeldLock lock(lockPath(id));
    if (id != ownId_ && !lock.tryLock())
        return std::nullopt;
    QFile file;
    const auto header = readHeader(file, copyPath(id));
    if (!header)
        return std::nullopt;
    const QByteArray body = file.readAll();
    RecoverySnapshot s;
    if (header->value(QStringLiteral("utf16")).toBool())
        s.text = QString(reinterpret_cast<const QChar*>(body.constData()), body.size() / 2);
    else
        s.text = QString::fromUtf8(body);
    if (s.text.size() != header->value(QStringLiteral("size")).toInteger())
        return std::nullopt; // cut short: not to be trusted
    s.path = header->value(QStringLiteral("path")).toString();
    s.format.encoding = header->value(QStringLiteral("encoding")).toString().toLatin1();
    s.format.byteOrderMark = header->value(QStringLiteral("bom")).toBool();
    s.format.lineEnd = LineEnd(header->value(QStringLiteral("lineEnd")).toInt());
    s.format.finalLineEnd = header->value(QStringLiteral("finalLineEnd")).toBool();
    for (const QJsonValue& v : header->value(QStringLiteral("lineEnds")).toArray())
        s.lineEnds.push_back({v.toArray().at(0).toInt(), LineEnd(v.toArray().at(1).toInt())});
    return s;
}

void RecoveryStore::discard(const QString& id) {
    if (!folderIsOurs())
        return;
    HeldLock lock(lockPath(id));
    if (id == ownId_ || !lock.tryLock())
        return;
    QFile::remove(copyPath(id));
    lock.release();
    QFile::remove(lockPath(id));
}

void RecoveryStore::markOffered(const QString& id) {
    if (!folderIsOurs())
        return;
    HeldLock lock(lockPath(id));
    if (!lock.tryLock())
        return;
    QFile file;
    auto header = readHeader(file, copyPath(id));
    if (!header)
        return;
    const QByteArray body = file.readAll();
    file.close();
    header->insert(QStringLiteral("offered"), true);
    writeCopy(copyPath(id), *header, body);
}
