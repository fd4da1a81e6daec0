// Every picture the code and the screens name is part of the skin, at 1x and 2x.
#include <glazeform/LXImage.h>
#include <reelwright/LXMediaCommon.h>

#include "TestSupport.h"

#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

namespace {

QStringList requiredPictures() {
    QFile f(QStringLiteral(CINVORA_SOURCE_DIR "/tests/glazeform/required-pictures.txt"));
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList out;
    for (const QByteArray &line : f.readAll().split('\n')) {
        const QString name = QString::fromUtf8(line).trimmed();
        if (!name.isEmpty() && !name.startsWith('#'))
            out << name;
    }
    return out;
}

// "<name>.png" literals in the sources of the libraries and the program.
QStringList pictureLiteralsInCode() {
    QSet<QString> names;
    const QRegularExpression literal(QStringLiteral("\"(?::/pictures/)?([A-Za-z0-9_@+\\- ]+\\.png)\""));
    for (const char *dir : {"glazeform", "reelwright", "cinvora", "sendaway", "engine"}) {
        QDirIterator it(QStringLiteral(CINVORA_SOURCE_DIR "/") + dir, {"*.cpp", "*.h"}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile f(it.next());
            if (!f.open(QIODevice::ReadOnly))
                continue;
            auto m = literal.globalMatch(QString::fromUtf8(f.readAll()));
            while (m.hasNext())
                names.insert(m.next().captured(1));
        }
    }
    QStringList out(names.begin(), names.end());
    out.sort();
    return out;
}

void expectPicture(const QString &name) {
    const QPixmap one = LXImage::named(name, 1.0);
    ASSERT_FALSE(one.isNull()) << name.toStdString();
    const QImage two(":/pictures/" + name.left(name.size() - 4) + "@2x.png");
    ASSERT_FALSE(two.isNull()) << name.toStdString() << " has no 2x variant";
    EXPECT_EQ(two.size(), one.size() * 2) << name.toStdString();
    const QPixmap hi = LXImage::named(name, 2.0);
    EXPECT_EQ(hi.devicePixelRatio(), 2.0) << name.toStdString();
    EXPECT_EQ(LXImage::pointSize(hi), QSizeF(one.size())) << name.toStdString();
}

} // namespace

TEST(SkinPictures, EveryNamedPictureExistsInBothDensities) {
    const QStringList names = requiredPictures();
    ASSERT_GT(names.size(), 130);
    for (const QString &name : names)
        expectPicture(name);
}

TEST(SkinPictures, EveryPictureNamedInTheCodeExists) {
    const QStringList names = pictureLiteralsInCode();
    ASSERT_FALSE(names.isEmpty());
    for (const QString &name : names)
        expectPicture(name);
}

TEST(SkinPictures, SizesFollowTheLayouts) {
    EXPECT_EQ(LXImage::named("FullBg.png", 1).size(), QSize(603, 59));
    EXPECT_EQ(LXImage::named("ODSwitchBG.png", 1).size(), QSize(47, 18));
    EXPECT_EQ(LXImage::named("ODSwitchFG.png", 1).size(), QSize(25, 18));
    EXPECT_EQ(LXImage::named("ODCellBrowserNormal.png", 1).size(), QSize(24, 16));
    EXPECT_EQ(LXImage::named("ODStopNormal.png", 1).size(), QSize(16, 16));
    EXPECT_EQ(LXImage::named("NextPreviousFrameBg.png", 1).size(), QSize(99, 24));
    EXPECT_EQ(LXImage::named("gotoNextFrameNormal.png", 1).size(), QSize(12, 24));
    EXPECT_EQ(LXImage::named("trimOrCancelTrimNormal.png", 1).size(), QSize(52, 22));
    EXPECT_EQ(LXImage::named("ODThumbCellBg.png", 1).size(), QSize(108, 120));
    EXPECT_EQ(LXImage::named("ODMP4.png", 1).size(), QSize(74, 74));
    for (const char *n : {"FullCtrlPlayNormal.png", "backToMainNormal.png", "ShareNormal.png", "exitFullNormal.png"})
        EXPECT_EQ(LXImage::named(n, 1).size(), QSize(24, 24)) << n;
}

TEST(SkinPictures, StatesDifferVisibly) {
    auto differ = [](const char *a, const char *b) {
        const QImage x = LXImage::named(a, 1).toImage(), y = LXImage::named(b, 1).toImage();
        EXPECT_EQ(x.size(), y.size()) << a;
        EXPECT_NE(x, y) << a << " looks like " << b;
    };
    differ("ODConvertNormal.png", "ODConvertPress.png");
    differ("ODLeftArrowNormal.png", "ODLeftArrowDisable.png");
    differ("ODLeftArrowNormal.png", "ODLeftArrowPress.png");
    differ("ODEditPlayNormal.png", "ODEditPlayPress.png");
    differ("ODCellBarNormal.png", "ODCellBarPress.png");
    differ("FullCtrlPauseNormal.png", "FullCtrlPausePress.png");
}

TEST(SkinPictures, DefaultItemPictureLoadsWhereTheMediaLibraryLooks) {
    EXPECT_FALSE(LXMediaCommon::defaultMovieImage().isNull());
}
