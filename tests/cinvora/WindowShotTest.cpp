// The window drawn with a few items converting, saved to build/shots/main-window.png for a
// person to look at; the test checks what a picture cannot be trusted to show by eye
// alone: every piece has its pictures and no two pieces cover each other.
#include "ODPreviewView.h"
#include "WindowDriver.h"

#include <glazeform/LXLabel.h>
#include <glazeform/LXSlider.h>

#include <QDir>
#include <QSet>
#include <gtest/gtest.h>

using namespace windowtest;
using testsupport::fixture;
using testsupport::waitFor;

namespace {

QString shotPath(const QString &name) {
    const QString dir = QStringLiteral(CINVORA_BUILD_DIR "/shots");
    QDir().mkpath(dir);
    return QDir(dir).filePath(name);
}

// Visible children of a widget that overlap one another (names of the pairs).
QStringList overlaps(QWidget *parent, const QSet<QWidget *> &allowed = {}) {
    QList<QWidget *> shown;
    for (QObject *o : parent->children())
        if (auto *w = qobject_cast<QWidget *>(o); w && !w->isWindow() && !w->isHidden() && !allowed.contains(w))
            shown << w;
    QStringList out;
    for (int i = 0; i < shown.size(); ++i)
        for (int j = i + 1; j < shown.size(); ++j)
            if (shown[i]->geometry().intersects(shown[j]->geometry()))
                out << QStringLiteral("%1/%2 %3 and %4/%5 %6")
                           .arg(shown[i]->metaObject()->className(), shown[i]->objectName())
                           .arg(QString::number(i))
                           .arg(shown[j]->metaObject()->className(), shown[j]->objectName())
                           .arg(QString::number(j));
    return out;
}

// Visible picture buttons without a picture for their state.
QStringList buttonsWithoutPictures(QWidget *root, const std::vector<LXButton *> &textButtons) {
    QStringList out;
    for (LXButton *b : root->findChildren<LXButton *>()) {
        if (!b->isVisibleTo(root) || std::find(textButtons.begin(), textButtons.end(), b) != textButtons.end())
            continue;
        if (b->currentImage().isNull())
            out << b->toolTip() + " " + b->textTitle();
    }
    return out;
}

int distinctColours(const QImage &image) {
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3)
            colours.insert(image.pixel(x, y));
    return int(colours.size());
}

} // namespace

TEST(WindowShot, EmptyWindowAtStart) {
    Session s;
    const QImage shot = s.window->grab().toImage();
    ASSERT_TRUE(shot.save(shotPath("main-window-empty.png")));
    EXPECT_GT(distinctColours(shot), 40);
    EXPECT_TRUE(buttonsWithoutPictures(s.window.get(), s.window->categoryButtons()).isEmpty());
    EXPECT_TRUE(overlaps(s.window->mainPanelView(), {s.window->comboBoxTableView()}).isEmpty())
        << overlaps(s.window->mainPanelView(), {s.window->comboBoxTableView()}).join("; ").toStdString();
}

TEST(WindowShot, ItemsConvertingInTheList) {
    Session s(2);
    ASSERT_TRUE(s.add({fixture("clip.mp4"), fixture("multi.mkv"), fixture("mpeg4.avi"), fixture("audio.flac"),
                       fixture("hd1080.mp4")}));
    click(s.category("Common Video"));
    click(s.cell("MP4"), QPointF(30, 60));
    for (const auto &item : s.doc().fileArray())
        if (item->bSourceIsVideo()) {
            item->setWidth(1280);
            item->setHeight(720);
        }
    click(s.row(1), QPointF(200, 20));
    click(s.window->wrConvertBtn());
    // Two rows well on their way, the others waiting.
    ASSERT_TRUE(waitFor(
        [&] {
            int going = 0;
            for (int i = 0; i < 5; ++i)
                going += s.row(i)->prgSlider()->isVisible() && s.row(i)->prgSlider()->sliderPos() > 0.12 &&
                         s.row(i)->finishedLbl()->textTitle().startsWith("Left time: ");
            return going == 2;
        },
        120000));
    const QImage shot = s.window->grab().toImage();
    ASSERT_TRUE(shot.save(shotPath("main-window.png")));
    EXPECT_GT(distinctColours(shot), 200);

    EXPECT_TRUE(buttonsWithoutPictures(s.window.get(), s.window->categoryButtons()).isEmpty())
        << buttonsWithoutPictures(s.window.get(), s.window->categoryButtons()).join(", ").toStdString();
    for (LXImageCellView *cell : s.window->thumbImageTableView()->cells())
        EXPECT_FALSE(cell->image().isNull()) << cell->cellTitle().toStdString();
    // The window's areas tile it; the rows' visible controls leave each other room.
    const QStringList areas = overlaps(s.window->mainPanelView(), {s.window->tipView()});
    EXPECT_TRUE(areas.isEmpty()) << areas.join("; ").toStdString();
    for (int i = 0; i < 5; ++i) {
        const QStringList inRow = overlaps(s.row(i));
        EXPECT_TRUE(inRow.isEmpty()) << i << ": " << inRow.join("; ").toStdString();
        const QStringList inInfo = overlaps(s.row(i)->fmtInfoBaseView());
        EXPECT_TRUE(inInfo.isEmpty()) << i << ": " << inInfo.join("; ").toStdString();
    }
    for (LXView *bar : {s.window->topBackGroundView(), s.window->bottomView(), s.window->wrMidStatusBar(),
                        s.window->wrBtmStatusBar()}) {
        const QStringList inBar = overlaps(bar);
        EXPECT_TRUE(inBar.isEmpty()) << inBar.join("; ").toStdString();
        for (QWidget *w : bar->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            EXPECT_TRUE(bar->rect().contains(w->geometry())) << w->metaObject()->className();
    }
    // Stop everything before the window goes.
    s.answers = {foundation::AlertButton::Alternate};
    s.window->close();
    EXPECT_TRUE(waitFor([&] { return s.doc().currentSessionCount() == 0; }, 60000));
}
