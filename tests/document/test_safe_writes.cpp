// Saving never loses a byte: what the writer keeps, what it refuses, and what it leaves behind.
#include "document/document_file.h"
#include "document/file_writer.h"
#include "support/test_files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <utime.h>

namespace {
using test_files::readBytes;
using test_files::writeBytes;

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

struct stat statOf(const QString& path) {
    struct stat st {};
    ::lstat(native(path).constData(), &st);
    return st;
}

// Runs the reader or writer in a process of its own (see document_probe.cpp); returns the error
// number it printed, or -1 when it did not run.
int probe(const QStringList& arguments, QString* description = nullptr) {
    QProcess process;
    process.start(QStringLiteral(TAGLOOM_DOCUMENT_PROBE), arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return -1;
    const QByteArray out = process.readAllStandardOutput();
    const qsizetype firstLine = out.indexOf('\n');
    if (description)
        *description = QString::fromUtf8(out.mid(firstLine + 1));
    return out.left(firstLine).toInt();
}

constexpr uid_t kNobody = 65534;
constexpr gid_t kNogroup = 65534;

class SafeWritesTest : public QObject {
    Q_OBJECT
    QTemporaryDir root_;
    QString dir_; // world-writable, so that another user can work in it

    QString path(const QString& name) const { return dir_ + QLatin1Char('/') + name; }
    QStringList leftovers() const {
        return QDir(dir_)
            .entryList(QDir::Files | QDir::Hidden | QDir::System)
            .filter(QStringLiteral(".tgl-"));
    }

private slots:
    void initTestCase() {
        dir_ = root_.filePath(QStringLiteral("shared"));
        QVERIFY(QDir().mkpath(dir_));
        QCOMPARE(::chmod(native(root_.path()).constData(), 0755), 0);
        QCOMPARE(::chmod(native(dir_).constData(), 0777), 0);
    }
    void init() {
        for (const QString& name :
             QDir(dir_).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
            QFile::remove(path(name));
    }

    // A file with two names is written in place, after a complete backup beside it.
    void aHardLinkedFileKeepsEveryOldByte_data() {
        QTest::addColumn<int>("newSize");
        QTest::addColumn<int>("sizeLimit"); // bytes a file may have; 0: no limit
        QTest::addColumn<int>("error");
        QTest::newRow("no room for the new bytes") << 200000 << 150000 << 61;
        QTest::newRow("no room for the backup") << 50000 << 90000 << 61;
        QTest::newRow("room reserved, none to write") << 120000 << 110000 << 61;
        QTest::newRow("room for both") << 50000 << 0 << 0;
    }
    void aHardLinkedFileKeepsEveryOldByte() {
        QFETCH(int, newSize);
        QFETCH(int, sizeLimit);
        QFETCH(int, error);
        const QByteArray old(100000, 'o');
        QVERIFY(writeBytes(path("h1"), old));
        QCOMPARE(::link(native(path("h1")).constData(), native(path("h2")).constData()), 0);
        // A link planted where backups were once named is never written through.
        QVERIFY(writeBytes(path("victim"), "victim"));
        const QString planted = path(QStringLiteral(".tgl-backup-%1").arg(statOf(path("h1")).st_ino));
        QCOMPARE(::symlink(native(path("victim")).constData(), native(planted).constData()), 0);
        const struct timespec long_ago[2] = {{1'600'000'000, 0}, {1'600'000'000, 0}};
        QCOMPARE(::utimensat(AT_FDCWD, native(path("h1")).constData(), long_ago, 0), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        rlimit small = saved;
        if (sizeLimit > 0)
            small.rlim_cur = rlim_t(sizeLimit);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        const FileError result = document_file::write(path("h1"), QByteArray(newSize, 'n'));
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        QCOMPARE(result.number, error);
        QCOMPARE(readBytes(path("h2")), error ? old : QByteArray(newSize, 'n'));
        if (error) // a refused save changes nothing, the file's time neither
            QCOMPARE(qint64(statOf(path("h1")).st_mtim.tv_sec), qint64(1'600'000'000));
        QCOMPARE(statOf(path("h1")).st_ino, statOf(path("h2")).st_ino);
        QCOMPARE(readBytes(path("victim")), QByteArray("victim"));
        QVERIFY(S_ISLNK(statOf(planted).st_mode));
        QCOMPARE(leftovers(), QStringList{planted.mid(dir_.size() + 1)});
    }

    // An Open points to a backup only when a save of ours made it, complete.
    void onlyACompleteBackupIsPointedTo_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("trusted");
        QTest::newRow("ours, complete") << "ours" << true;
        QTest::newRow("the old name, written in place") << "old name" << false;
        QTest::newRow("a link") << "link" << false;
        QTest::newRow("a file with a second name") << "two names" << false;
        QTest::newRow("another user's") << "other owner" << false;
    }
    void onlyACompleteBackupIsPointedTo() {
        QFETCH(QString, kind);
        QFETCH(bool, trusted);
        QVERIFY(writeBytes(path("page.htm"), "page"));
        const QString inode = QString::number(statOf(path("page.htm")).st_ino);
        const QString backup = path(kind == u"old name" ? QStringLiteral(".tgl-backup-") + inode
                                                        : QStringLiteral(".tgl-backup-%1-Ab3dEf").arg(inode));
        if (kind == u"link") {
            QVERIFY(writeBytes(path("elsewhere"), "old"));
            QCOMPARE(::symlink(native(path("elsewhere")).constData(), native(backup).constData()), 0);
        } else {
            QVERIFY(writeBytes(backup, "old"));
        }
        if (kind == u"two names")
            QCOMPARE(::link(native(backup).constData(), native(path("second")).constData()), 0);
        if (kind == u"other owner") {
            if (::geteuid() != 0)
                QSKIP("needs root to give the backup to another user");
            QCOMPARE(::chown(native(backup).constData(), kNobody, kNogroup), 0);
        }
        QCOMPARE(document_file::interruptedSaveBackup(path("page.htm")), trusted ? backup : QString());
    }

    void refusedTargetsStayAsTheyWere_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("a pipe") << "fifo";
        QTest::newRow("a device") << "device";
        QTest::newRow("a read-only file, even for root") << "read-only";
        QTest::newRow("another user's link in a sticky shared folder") << "protected link";
    }
    void refusedTargetsStayAsTheyWere() {
        QFETCH(QString, kind);
        QString target = path(QStringLiteral("target"));
        if (kind == QStringLiteral("fifo")) {
            QCOMPARE(::mkfifo(native(target).constData(), 0666), 0);
        } else if (kind == QStringLiteral("device")) {
            target = QStringLiteral("/dev/null");
        } else if (kind == QStringLiteral("read-only")) {
            QVERIFY(writeBytes(target, "old"));
            QCOMPARE(::chmod(native(target).constData(), 0444), 0);
        } else {
            if (::geteuid() != 0)
                QSKIP("needs root to give the link to another user");
            QCOMPARE(::chmod(native(dir_).constData(), 01777), 0);
            QVERIFY(writeBytes(path("real"), "old"));
            QCOMPARE(::symlink(native(path("real")).constData(), native(target).constData()), 0);
            QCOMPARE(::lchown(native(target).constData(), kNobody, kNogroup), 0);
        }
        const struct stat before = statOf(target);
        const FileError error = document_file::write(target, "new");
        ::chmod(native(dir_).constData(), 0777);
        QCOMPARE(error.number, 75);
        const struct stat after = statOf(target);
        QCOMPARE(after.st_mode, before.st_mode);
        QCOMPARE(after.st_ino, before.st_ino);
        if (kind != QStringLiteral("device") && kind != QStringLiteral("fifo"))
            QCOMPARE(readBytes(target), QByteArray("old"));
        QVERIFY(leftovers().isEmpty());
    }

    void anotherUsersSave_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("allowed");
        // Only the mode bits were looked at: a folder the user may write let them replace the file.
        QTest::newRow("root's 0644 file in a folder the user may write") << 0644 << false;
        // The user may write the file but not give a new one root's name: it is written in place.
        QTest::newRow("a group member saves a group-writable file") << 0664 << true;
        // Nor may they write the folder, where a backup would go: still written in place.
        QTest::newRow("a group-writable file in a folder the user may not write") << 0664 << true;
    }
    void anotherUsersSave() {
        QFETCH(int, mode);
        QFETCH(bool, allowed);
        if (::geteuid() != 0)
            QSKIP("needs root to act as another user");
        const bool closedFolder = QString::fromLatin1(QTest::currentDataTag()).contains(u"may not write");
        QCOMPARE(::chmod(native(dir_).constData(), closedFolder ? 0755 : 0777), 0);
        const QString file = path(QStringLiteral("owned.htm"));
        QVERIFY(writeBytes(file, "old\n"));
        QCOMPARE(::chown(native(file).constData(), 0, kNogroup), 0);
        QCOMPARE(::chmod(native(file).constData(), mode_t(mode)), 0);
        const int number =
            probe({QStringLiteral("--as-nobody"), QStringLiteral("write"), file, QStringLiteral("new\n")});
        QCOMPARE(number, allowed ? 0 : 75);
        QCOMPARE(readBytes(file), QByteArray(allowed ? "new\n" : "old\n"));
        const struct stat st = statOf(file);
        QCOMPARE(st.st_uid, uid_t(0));
        QCOMPARE(st.st_gid, kNogroup);
        QCOMPARE(int(st.st_mode & 07777), mode);
        QVERIFY(leftovers().isEmpty());
        QCOMPARE(::chmod(native(dir_).constData(), 0777), 0);
    }

    void ownerGroupAclAndAttributesAreKept() {
        if (::geteuid() != 0)
            QSKIP("needs root to give the file to another user");
        const QString file = path(QStringLiteral("theirs.htm"));
        QVERIFY(writeBytes(file, "old\n"));
        QCOMPARE(::chmod(native(file).constData(), 0640), 0);
        // An access list granting one more user read access, in the kernel's own format.
        const unsigned char acl[] = {2,    0, 0, 0,                          // version
                                     1,    0, 6, 0, 0xFF, 0xFF, 0xFF, 0xFF,  // owner rw
                                     2,    0, 4, 0, 0xE8, 0x03, 0,    0,     // user 1000 r
                                     4,    0, 4, 0, 0xFF, 0xFF, 0xFF, 0xFF,  // group r
                                     0x10, 0, 4, 0, 0xFF, 0xFF, 0xFF, 0xFF,  // mask r
                                     0x20, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}; // other
        if (::setxattr(native(file).constData(), "system.posix_acl_access", acl, sizeof acl, 0) != 0 ||
            ::setxattr(native(file).constData(), "user.origin", "kept", 4, 0) != 0)
            QSKIP("this file system keeps no access lists or user attributes");
        QCOMPARE(::chown(native(file).constData(), kNobody, kNogroup), 0);
        const ino_t before = statOf(file).st_ino;
        QCOMPARE(document_file::write(file, "new\n").number, 0);
        QCOMPARE(readBytes(file), QByteArray("new\n"));
        const struct stat st = statOf(file);
        QCOMPARE(st.st_uid, kNobody);
        QCOMPARE(st.st_gid, kNogroup);
        QCOMPARE(int(st.st_mode & 07777), 0640);
        QVERIFY(st.st_ino != before); // replaced through a new file, not written in place
        char value[64] = {};
        QCOMPARE(::getxattr(native(file).constData(), "system.posix_acl_access", value, sizeof value),
                 ssize_t(sizeof acl));
        QCOMPARE(QByteArray(value, sizeof acl), QByteArray(reinterpret_cast<const char*>(acl), sizeof acl));
        QCOMPARE(::getxattr(native(file).constData(), "user.origin", value, sizeof value), ssize_t(4));
        QCOMPARE(QByteArray(value, 4), QByteArray("kept"));
        QVERIFY(leftovers().isEmpty());
    }

    void aChainOfLinksWritesTheLastFile() {
        QVERIFY(writeBytes(path("real"), "old"));
        QCOMPARE(::symlink("real", native(path("l2")).constData()), 0);
        QCOMPARE(::symlink(native(path("l2")).constData(), native(path("l1")).constData()), 0);
        QCOMPARE(document_file::write(path("l1"), "new").number, 0);
        QCOMPARE(readBytes(path("real")), QByteArray("new"));
        QVERIFY(S_ISLNK(statOf(path("l1")).st_mode));
        QVERIFY(S_ISLNK(statOf(path("l2")).st_mode));
    }

    void anyNameTheFileSystemAllowsCanBeSaved() {
        const QString name = QString(250, u'n') + QStringLiteral(".htm"); // 254 bytes
        QVERIFY(writeBytes(path(name), "old"));
        QCOMPARE(document_file::write(path(name), "new").number, 0);
        QCOMPARE(readBytes(path(name)), QByteArray("new"));
    }

    void staleTemporariesOfOursAreRemovedAndNothingElse() {
        auto make = [&](const char* name, int ageSeconds) {
            QVERIFY(writeBytes(path(QString::fromLatin1(name)), "x"));
            const utimbuf times{std::time(nullptr) - ageSeconds, std::time(nullptr) - ageSeconds};
            QCOMPARE(::utime(native(path(QString::fromLatin1(name))).constData(), &times), 0);
        };
        make(".tgl-Ab12Cd", 3600);                 // a save killed an hour ago
        make(".tgl-Ij56Kl", 0);                    // ... and one killed just now
        make(".tgl-Ef34Gh", 0);                    // another save, still running: it holds its file
        make(".tgl-backup-123-Mn78Op", 3600);      // a backup is kept for a week
        make(".tgl-backup-456-Qr90St", 8 * 86400); // ... and no longer
        make(".tgl-notours", 3600);                // not a name we give
        const int running = ::open(native(path(".tgl-Ef34Gh")).constData(), O_RDONLY | O_CLOEXEC);
        QCOMPARE(::flock(running, LOCK_EX), 0);
        QVERIFY(writeBytes(path("page.htm"), "old"));
        QVERIFY(!document_file::read(path("page.htm")).error);
        QCOMPARE(QDir(dir_).entryList(QDir::Files | QDir::Hidden, QDir::Name),
                 (QStringList{".tgl-Ef34Gh", ".tgl-backup-123-Mn78Op", ".tgl-notours", "page.htm"}));
        ::close(running);
    }

    void onlyRegularFilesAreOpened_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("an endless device") << "/dev/zero";
        QTest::newRow("a pipe nobody writes") << "fifo";
        QTest::newRow("a folder") << "/";
    }
    void onlyRegularFilesAreOpened() {
        QFETCH(QString, file);
        if (file == QStringLiteral("fifo")) {
            file = path(QStringLiteral("pipe"));
            QCOMPARE(::mkfifo(native(file).constData(), 0666), 0);
        }
        const ReadResult result = document_file::read(file); // a hang here fails by the test's timeout
        QCOMPARE(result.error.number, 75);
        QVERIFY(result.text.isEmpty());
    }

    void aFileTooBigForTheMemoryIsRefusedWithAMessage() {
#ifdef TAGLOOM_SANITIZED
        QSKIP("the address sanitizer needs more address space than the limit this test sets");
#endif
        // Ten million empty lines need far more than a process limited to 512 MB may have.
        QVERIFY(writeBytes(path("lines.txt"), QByteArray(10'000'000, '\n')));
        QString description;
        QCOMPARE(probe({QStringLiteral("--memory-limit"), QStringLiteral("512"), QStringLiteral("read"),
                        path("lines.txt")},
                       &description),
                 7);
        QVERIFY2(description.contains(QStringLiteral("MB of memory")), qPrintable(description));
        QVERIFY(description.contains(path("lines.txt")));
    }
};
} // namespace

TAGLOOM_TEST_MAIN(QCoreApplication, SafeWritesTest)
#include "test_safe_writes.moc"
