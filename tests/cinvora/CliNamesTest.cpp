// Source names at the edges of what Linux allows: as long as a name may be, and bytes
// that are not UTF-8.
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

using testsupport::fixture;

namespace {

QString cli() { return testsupport::binary("cinvora-cli"); }

bool readable(const QString &path) {
    return testsupport::ffprobe(path)["format"].toObject()["duration"].toString().toDouble() > 0;
}

// Copies a fixture to a name given as bytes, which Qt's file names cannot carry.
bool copyToBytes(const QString &from, const QByteArray &to) {
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = in.readAll();
    const int fd = ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, data.constData(), data.size()) == data.size();
    ::close(fd);
    return ok;
}

} // namespace

// A source name may be 255 bytes; the output takes the same stem, and a numbered one is
// cut (on a character boundary) to stay within the limit.
TEST(CliNames, LongestSourceNamesConvertAndNumberWithinTheLimit) {
    const QString stem = QStringLiteral("a") + QString(124, QChar(0x00F6)) + QStringLiteral("b"); // 250 bytes
    ASSERT_EQ(stem.toUtf8().size(), 250);
    const QString in = testsupport::freshDir("long-in");
    ASSERT_TRUE(QFile::copy(fixture("short.mp4"), in + "/" + stem + ".mp4"));
    const QString out = testsupport::freshDir("long-out");
    const QStringList args{"convert", in,           "--to", "Common Video.MKV", "--output",
                           out,       "--duration", "1",    "--size",           "160x120"};
    QByteArray o, e;
    ASSERT_EQ(testsupport::runProgram(cli(), args, &o, &e), 0) << o.toStdString() << e.toStdString();
    ASSERT_EQ(testsupport::runProgram(cli(), args, &o, &e), 0) << o.toStdString() << e.toStdString();
    const QString numbered = QStringLiteral("a") + QString(123, QChar(0x00F6)) + QStringLiteral("(1).mkv");
    ASSERT_EQ(numbered.toUtf8().size(), 254); // the next character would not have fitted whole
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden, QDir::Name), QStringList({numbered, stem + ".mkv"}));
    EXPECT_TRUE(readable(out + "/" + stem + ".mkv"));
    EXPECT_TRUE(readable(out + "/" + numbered));
    EXPECT_TRUE(QString::fromUtf8(o).contains("shortened")) << o.toStdString();
}

// Linux file names are bytes. One that is not UTF-8 is converted like any other, from a
// folder and named on the command line (under the C locale too), its output named as the
// source decodes, with U+FFFD for the bytes that are not UTF-8.
TEST(CliNames, NamesThatAreNotUtf8AreConverted) {
    const QString in = testsupport::freshDir("bytes-in");
    ASSERT_TRUE(QFile::copy(fixture("short.mp4"), in + "/good.mp4"));
    ASSERT_TRUE(copyToBytes(fixture("short.mp4"), QFile::encodeName(in) + "/bad\xff.mp4"));
    const QString out = testsupport::freshDir("bytes-out");
    QByteArray o, e;
    EXPECT_EQ(testsupport::runProgram(cli(), {"convert", in, "--output", out, "--duration", "1", "--size", "160x120"},
                                      &o, &e),
              0)
        << e.toStdString();
    const QString table = QString::fromUtf8(o);
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("bad\\x{FFFD}\\.mp4\\s+done.*not valid UTF-8")).match(table).hasMatch())
        << table.toStdString();
    EXPECT_TRUE(table.contains("2 files converted.")) << table.toStdString();
    EXPECT_TRUE(readable(out + QStringLiteral("/bad\uFFFD.mov")));
    EXPECT_TRUE(readable(out + "/good.mov"));

    // Named as its bytes through a shell, in both forms, under the C locale.
    const QString shell = QStringLiteral("export LC_ALL=C; f=\"$(printf '%s/bad\\377.mp4' \"$1\")\"; "
                                         "\"$0\" convert \"$f\" --output \"$2\" --duration 1 --size 160x120 && "
                                         "exec \"$0\" convert \"$f\" \"$2/single.mkv\" --duration 1 --size 160x120");
    EXPECT_EQ(testsupport::runProgram("/bin/sh", {"-c", shell, cli(), in, out}, &o, &e), 0) << e.toStdString();
    EXPECT_FALSE(e.contains("no such file")) << e.toStdString();
    EXPECT_TRUE(readable(out + QStringLiteral("/bad\uFFFD(1).mov"))) << o.toStdString();
    EXPECT_TRUE(readable(out + "/single.mkv"));
    // The source is read, never touched, and nothing else is left.
    EXPECT_EQ(QDir(in).entryList(QDir::Files | QDir::Hidden).size(), 1); // Qt lists only good.mp4
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden).size(), 4);
}
