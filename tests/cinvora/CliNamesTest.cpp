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

} // namespace

// A source name may be 255 bytes; the output takes the same stem, and a numbered one is
// cut (on a character boundary) to stay within the limit.
TEST(CliNames, LongestSourceNamesConvertAndNumberWithinTheLimit) {
    const QString stem = QStringLiteral("a") + QString(124, QChar(0x00F6)) + QStringLiteral("b"); // 250 bytes
    ASSERT_EQ(stem.toUtf8().size(), 250);
    const QString in = testsupport::freshDir("long-in");
    ASSERT_TRUE(QFile::copy(fixture("short.mp4"), in + "/" + stem + ".mp4"));
    const QString out = testsupport::freshDir("long-out");
    const QStringList args{"convert", in, "--to", "Common Video.MKV", "--output", out, "--duration", "1", "--size", "160x120"};
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
