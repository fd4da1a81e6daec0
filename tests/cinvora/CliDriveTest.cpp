// `cinvora-cli convert` onto the drives people carry around: exFAT and NTFS through their
// FUSE drivers, on image files made for the test. These file systems have neither an
// exclusive rename nor (exFAT) hard links, and exFAT refuses some characters in names.
// Needs root and a usable /dev/fuse; skipped with the reason where either is missing.
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <foundation/Files.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <fcntl.h>
#include <unistd.h>

using testsupport::fixture;

// Failures and test names show the drive kind as text.
void PrintTo(const QString &s, std::ostream *os) { *os << s.toStdString(); }

namespace {

constexpr long kFuseMagic = 0x65735546;

QString cli() { return testsupport::binary("cinvora-cli"); }

QString tool(const QString &name) {
    return QStandardPaths::findExecutable(name, {"/usr/sbin", "/sbin", "/usr/bin", "/bin"});
}

bool onFuse(const QString &dir) {
    struct statfs sb {};
    return ::statfs(QFile::encodeName(dir).constData(), &sb) == 0 && sb.f_type == kFuseMagic;
}

QByteArray bytesOf(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool readable(const QString &path) {
    return testsupport::ffprobe(path)["format"].toObject()["duration"].toString().toDouble() > 0;
}

// Every name in the folder, hidden ones too, as one line that a failure can show.
QString everything(const QString &dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name).join(" | ");
}

// A 64 MB image with a fresh file system, mounted through its FUSE driver for each test.
// exFAT's driver always asks for a block device: where the plain image is refused it gets
// a loop device, when the machine has one.
class CliDrive : public ::testing::TestWithParam<QString> {
protected:
    void SetUp() override {
        if (const QString why = mount(); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
    }
    void TearDown() override {
        if (_mounted && testsupport::runProgram(tool("fusermount3"), {"-u", _dir}) != 0)
            testsupport::runProgram(tool("umount"), {_dir});
        if (!_loop.isEmpty())
            testsupport::runProgram(tool("losetup"), {"-d", _loop});
    }
    bool isExfat() const { return GetParam() == "exfat"; }

    // Empty when mounted, else why not.
    QString mount() {
        if (::geteuid() != 0 || ::access("/dev/fuse", R_OK | W_OK) != 0)
            return QStringLiteral("mounting a drive image needs root and a usable /dev/fuse");
        const QString mkfs = tool(isExfat() ? "mkfs.exfat" : "mkntfs");
        const QString driver = tool(isExfat() ? "mount.exfat-fuse" : "ntfs-3g");
        if (mkfs.isEmpty() || driver.isEmpty())
            return QStringLiteral("the %1 tools are not installed (scripts/install-deps)").arg(GetParam());
        const QString base = testsupport::freshDir(GetParam()), image = base + "/drive.img";
        _dir = base + "/mnt";
        QFile img(image);
        if (!QDir().mkpath(_dir) || !img.open(QIODevice::WriteOnly) || !img.resize(64 << 20))
            return QStringLiteral("cannot make %1").arg(image);
        img.close();
        QByteArray err, loop;
        if (testsupport::runProgram(mkfs, isExfat() ? QStringList{image} : QStringList{"-F", "-f", "-q", image},
                                    nullptr, &err) != 0)
            return QStringLiteral("%1 failed: %2").arg(mkfs, QString::fromLocal8Bit(err));
        if (testsupport::runProgram(driver, {image, _dir}, nullptr, &err) != 0 && isExfat()) {
            if (testsupport::runProgram(tool("losetup"), {"-f", "--show", image}, &loop, &err) != 0)
                return QStringLiteral("the exFAT driver needs a block device and no loop device is free: %1")
                    .arg(QString::fromLocal8Bit(err));
            _loop = QString::fromLocal8Bit(loop).trimmed();
            testsupport::runProgram(driver, {_loop, _dir}, nullptr, &err);
        }
        _mounted = onFuse(_dir);
        return _mounted ? QString() : QStringLiteral("%1 did not mount: %2").arg(driver, QString::fromLocal8Bit(err));
    }

    QString _dir, _loop;
    bool _mounted = false;
};

const QStringList kQuick{"--duration", "1", "--size", "160x120"};

TEST_P(CliDrive, BothFormsWriteOntoTheDriveAndNeverOverwrite) {
    const QString mnt = _dir;
    QByteArray o, e;
    // The single form, to an exact name; again to the same name is refused.
    const QString single = mnt + "/single.mkv";
    ASSERT_EQ(testsupport::runProgram(cli(), QStringList{"convert", fixture("short.mp4"), single} + kQuick, &o, &e), 0)
        << e.toStdString();
    EXPECT_TRUE(readable(single));
    const QByteArray first = bytesOf(single);
    EXPECT_EQ(testsupport::runProgram(cli(), QStringList{"convert", fixture("short.mp4"), single} + kQuick, &o, &e), 1);
    EXPECT_TRUE(e.contains("not overwriting")) << e.toStdString();
    EXPECT_EQ(bytesOf(single), first);
    EXPECT_EQ(everything(mnt), "single.mkv");

    // The batch form, twice at once to the same folder: both names are numbered apart,
    // and a file already there is never replaced.
    const QString out = mnt + "/batch";
    ASSERT_TRUE(QDir().mkpath(out));
    ASSERT_TRUE(QFile::copy(fixture("short.mp4"), out + "/short.mkv"));
    const QStringList batch =
        QStringList{"convert", fixture("short.mp4"), "--to", "Common Video.MKV", "--output", out} + kQuick;
    testsupport::Child a, b;
    ASSERT_TRUE(a.start(cli(), batch));
    ASSERT_TRUE(b.start(cli(), batch));
    EXPECT_EQ(a.wait(120000), 0) << a.standardError().toStdString();
    EXPECT_EQ(b.wait(120000), 0) << b.standardError().toStdString();
    EXPECT_EQ(everything(out), "short(1).mkv | short(2).mkv | short.mkv");
    EXPECT_EQ(bytesOf(out + "/short.mkv"), bytesOf(fixture("short.mp4")));
    EXPECT_TRUE(readable(out + "/short(1).mkv"));
    EXPECT_TRUE(readable(out + "/short(2).mkv"));
}

TEST_P(CliDrive, NamesTheDriveRefusesAreChangedAndSaid) {
    const QString mnt = _dir;
    const QString in = testsupport::freshDir("odd-names");
    const QString odd = QStringLiteral("take: \"one\"?");
    ASSERT_TRUE(QFile::copy(fixture("short.mp4"), in + "/" + odd + ".mp4"));
    QByteArray o, e;
    ASSERT_EQ(testsupport::runProgram(
                  cli(), QStringList{"convert", in, "--to", "Common Video.MKV", "--output", mnt} + kQuick, &o, &e),
              0)
        << o.toStdString() << e.toStdString();
    // exFAT takes none of the three; the NTFS driver, mounted plainly, takes them all.
    const QString expected = isExfat() ? QStringLiteral("take_ _one__.mkv") : odd + ".mkv";
    EXPECT_EQ(everything(mnt), expected) << o.toStdString();
    EXPECT_TRUE(readable(mnt + "/" + expected));
    const QString table = QString::fromUtf8(o);
    EXPECT_EQ(table.contains(QStringLiteral("does not allow")), isExfat()) << table.toStdString();

    // A name typed for the single form is the user's own: refused with the reason, at once.
    const int rc =
        testsupport::runProgram(cli(), QStringList{"convert", fixture("short.mp4"), mnt + "/a:b.mkv"} + kQuick, &o, &e);
    if (isExfat()) {
        EXPECT_EQ(rc, 1);
        EXPECT_TRUE(e.contains("does not allow")) << e.toStdString();
        EXPECT_FALSE(e.contains("progress")) << "refused before converting: " << e.toStdString();
        EXPECT_EQ(everything(mnt), expected);
    } else {
        EXPECT_EQ(rc, 0) << e.toStdString();
        EXPECT_TRUE(readable(mnt + "/a:b.mkv"));
    }
}

// Where the final name had to be claimed with an empty file of our own, a crash between
// that claim and the rename leaves the empty file beside the stale partial file; the next
// start removes both, and only an empty file that is provably ours.
TEST_P(CliDrive, ACrashedClaimLeavesNoEmptyFileUnderTheName) {
    const QString mnt = _dir;
    auto leave = [&](const QString &name, bool claimed) {
        const QString partial = foundation::Files::partialPathFor(mnt + "/" + name);
        QFile p(partial);
        ASSERT_TRUE(p.open(QIODevice::WriteOnly));
        p.write(QByteArray(4096, 'x'));
        p.close();
        QFile f(mnt + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.close();
        struct stat sb {};
        ASSERT_EQ(::stat(QFile::encodeName(partial).constData(), &sb), 0);
        struct timespec t[2] = {sb.st_atim, sb.st_mtim};
        if (!claimed)
            t[1].tv_sec -= 3600;
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(mnt + "/" + name).constData(), t, 0), 0);
    };
    leave("late.mkv", true);
    leave("mine.mkv", false); // an empty file of the user's, not of the crashed claim
    QByteArray o, e;
    ASSERT_EQ(testsupport::runProgram(
                  cli(),
                  QStringList{"convert", fixture("short.mp4"), "--to", "Common Video.MKV", "--output", mnt} + kQuick,
                  &o, &e),
              0)
        << e.toStdString();
    EXPECT_EQ(everything(mnt), "mine.mkv | short.mkv");
}

INSTANTIATE_TEST_SUITE_P(Drives, CliDrive, ::testing::Values(QStringLiteral("exfat"), QStringLiteral("ntfs")),
                         [](const auto &info) { return info.param.toStdString(); });

} // namespace
