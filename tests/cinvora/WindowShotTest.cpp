// The window drawn with a few items converting, saved to build/shots/main-window.png for a
// person to look at; the test checks what a picture cannot be trusted to show by eye
// alone: every piece has its pictures and no two pieces cover each other.
#include "ODPreviewView.h"
#include "WindowDriver.h"

#include <glazeform/LXGeometry.h>
#include <glazeform/LXLabel.h>
#include <glazeform/LXStyle.h>
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

// Where a piece draws, in its parent's coordinates: a label its text, a plain container
// what its children draw, anything else its whole frame.
QList<QRect> drawnRects(QWidget *w) {
    if (auto *label = qobject_cast<LXLabel *>(w)) {
        if (label->textTitle().isEmpty())
            return {};
        const QRectF text = LXGeometry::flipRect(label->textRect(), label->height());
        // The text's own extent (the rectangle is 6 points taller than the text).
        const QSizeF ts = LXStyle::textSize(label->textFont(), label->displayedText());
        const QRect r =
            QRectF(text.x() + 1, text.y(), ts.width(), ts.height()).toAlignedRect().intersected(label->rect());
        return {r.translated(label->pos())};
    }
    if (w->metaObject() == &LXView::staticMetaObject && LXView::staticMetaObject.cast(w) &&
        static_cast<LXView *>(w)->backGroundImage().isNull()) {
        QList<QRect> out;
        for (QObject *o : w->children())
            if (auto *c = qobject_cast<QWidget *>(o); c && !c->isHidden())
                for (const QRect &r : drawnRects(c))
                    out << r.translated(w->pos());
        return out;
    }
    return {w->geometry()};
}

// Visible children of a widget whose drawings overlap one another (names of the pairs).
QStringList overlaps(QWidget *parent, const QSet<QWidget *> &allowed = {}) {
    QList<QWidget *> shown;
    for (QObject *o : parent->children())
        if (auto *w = qobject_cast<QWidget *>(o); w && !w->isWindow() && !w->isHidden() && !allowed.contains(w))
            shown << w;
    QStringList out;
    for (int i = 0; i < shown.size(); ++i)
        for (int j = i + 1; j < shown.size(); ++j)
            for (const QRect &a : drawnRects(shown[i]))
                for (const QRect &b : drawnRects(shown[j]))
                    if (a.intersects(b))
                        out << QStringLiteral("%1 %2 and %3 %4")
                                   .arg(shown[i]->metaObject()->className(), shown[i]->objectName(),
                                        shown[j]->metaObject()->className(), shown[j]->objectName());
    return out;
}

// Labels whose text does not fit them.
QStringList clippedLabels(QWidget *root) {
    QStringList out;
    for (LXLabel *l : root->findChildren<LXLabel *>()) {
        if (!l->isVisibleTo(root) || l->bUseDot() || l->textTitle().isEmpty())
            continue;
        const QSizeF ts = LXStyle::textSize(l->textFont(), l->textTitle());
        const QRectF text = LXGeometry::flipRect(l->textRect(), l->height());
        const bool insideParent = !l->parentWidget() || l->parentWidget()->rect().contains(l->geometry());
        if (text.x() + 1 < 0 || text.x() + 1 + ts.width() > l->width() + 0.5 || !insideParent)
            out << l->textTitle();
    }
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
    EXPECT_TRUE(clippedLabels(s.window.get()).isEmpty()) << clippedLabels(s.window.get()).join(" | ").toStdString();
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
    for (const auto &row : s.doc().cellArray())
        if (const LXMediaInfoPtr item = row->editMovie(); item->bSourceIsVideo()) {
            item->setWidth(1280);
            item->setHeight(720);
        }
    click(s.row(1), QPointF(200, 20));
    // Idle rows show their info line: every text in full.
    const QStringList idleClipped = clippedLabels(s.window.get());
    EXPECT_TRUE(idleClipped.isEmpty()) << idleClipped.join(" | ").toStdString();
    for (int i = 0; i < 5; ++i) {
        const QStringList inRow = overlaps(s.row(i));
        EXPECT_TRUE(inRow.isEmpty()) << i << ": " << inRow.join("; ").toStdString();
    }
    ASSERT_TRUE(s.window->grab().save(shotPath("main-window-idle.png")));
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
    // Every text fits its label, in the rows as in the bars.
    const QStringList clipped = clippedLabels(s.window.get());
    EXPECT_TRUE(clipped.isEmpty()) << clipped.join(" | ").toStdString();
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
