// The gallery renders every control to a picture in the build tree, at 1x and at 2x.
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <gtest/gtest.h>

namespace {

int runGallery(const QString &shot, const QByteArray &scale) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    if (!scale.isEmpty())
        env.insert("QT_SCALE_FACTOR", scale);
    p.setProcessEnvironment(env);
    p.start(testsupport::binary("glazeform-gallery"), {"--shot", shot});
    if (!p.waitForFinished(60000)) {
        p.kill();
        return -1;
    }
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// Distinct colours in a coarse sample: a blank or single-colour render has a handful.
int colourVariety(const QImage &img) {
    QSet<QRgb> colours;
    for (int y = 0; y < img.height(); y += 7)
        for (int x = 0; x < img.width(); x += 7)
            colours.insert(img.pixel(x, y));
    return int(colours.size());
}

} // namespace

TEST(Gallery, RendersEveryControlToTheBuildTree) {
    const QString shots = QStringLiteral(CINVORA_BUILD_DIR "/shots");
    const QString one = shots + "/glazeform-gallery.png";
    const QString two = shots + "/glazeform-gallery@2x.png";
    QFile::remove(one);
    QFile::remove(two);
    ASSERT_EQ(runGallery(one, {}), 0);
    const QImage a(one);
    ASSERT_FALSE(a.isNull());
    EXPECT_EQ(a.size(), QSize(1280, 1040));
    EXPECT_GT(colourVariety(a), 200);
    // On a 2x screen the same window is twice as many pixels, drawn from the 2x pictures.
    ASSERT_EQ(runGallery(two, "2"), 0);
    const QImage b(two);
    ASSERT_FALSE(b.isNull());
    EXPECT_EQ(b.size(), QSize(2560, 2080));
    EXPECT_GT(colourVariety(b), colourVariety(a) / 2);
}
