// Output names claimed on the real file system: partial files, their cleanup, names at
// the length limit.
#include "TestSupport.h"

#include <foundation/Files.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

using foundation::Files;

namespace {

void writeFile(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes);
}

QString hiddenAndShown(const QString &dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name).join(" | ");
}

} // namespace

// A partial name's length never depends on the final name's, so a 255-byte name still
// has one; a name that cannot fit says why; cleanup takes stale partial files of both
// forms and leaves one still held.
TEST(Files, PartialNamesFitAnyNameAndStaleOnesOfBothFormsAreCleared) {
    const QString dir = testsupport::freshDir("files");
    const auto whole = Files::reserveNumberedName(dir, QString(251, QLatin1Char('x')), ".mkv");
    ASSERT_TRUE(whole.isValid());
    EXPECT_EQ(QFileInfo(whole.path()).fileName().size(), 255);
    EXPECT_EQ(QFileInfo(whole.partialPath()).fileName().size(),
              QFileInfo(Files::partialPathFor("/a.mkv")).fileName().size());
    QString why;
    EXPECT_FALSE(Files::reserveNumberedName(dir, "clip", "." + QString(260, QLatin1Char('e')), &why).isValid());
    EXPECT_TRUE(why.contains("cannot be made short enough: this drive takes 255 bytes")) << why.toStdString();

    writeFile(dir + "/.old.mkv.cinvora-part", "stale, older form");
    writeFile(Files::partialPathFor(dir + "/new.mkv"), "stale");
    writeFile(dir + "/keep.mkv", "the user's");
    EXPECT_EQ(Files::removeStalePartials(dir), 2);
    EXPECT_EQ(hiddenAndShown(dir), QStringList({QFileInfo(whole.partialPath()).fileName(), "keep.mkv"}).join(" | "));
}
