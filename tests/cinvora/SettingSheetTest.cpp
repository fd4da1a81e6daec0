// The settings sheet: the limit's range, the two switches, the export folder, clearing.
#include <DesktopCitizen.h>
#include "SettingController.h"
#include "vcCommon.h"
#include "vcTableCellView.h"

#include <framewheel/SWConvertSession.h>
#include <reelwright/LXSessionFill.h>

#include <glazeform/LXLabel.h>
#include <glazeform/LXSpinButton.h>
#include <glazeform/LXSwitchButton.h>

#include <foundation/Settings.h>

#include "TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMouseEvent>
#include <gtest/gtest.h>

namespace {

void click(QWidget *w, QPointF at) {
    for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent e(type, at, w->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }
}
void clickUp(LXSpinButton *s) { click(s, {10, 3}); }
void clickDown(LXSpinButton *s) { click(s, {10, s->height() - 3.0}); }

struct Document : SettingControllerDelegate {
    std::optional<bool> allow = true;
    int cleared = 0;
    QStringList folders;
    std::optional<bool> canClearAllHistory() override { return allow; }
    void clearAllHistory() override { ++cleared; }
    void exportFolderChosen(const QString &path) override { folders << path; }
};

class Sheet : public ::testing::Test {
protected:
    QWidget window;
    void SetUp() override {
        for (const char *k :
             {"allowConvertingMaxCount", "autoStreamCopyWhenSameCodec", "applyToAllTipAgain", "exportMoviePath"})
            foundation::Settings::remove(k);
        window.resize(900, 600);
    }
    void TearDown() override { SettingController::setFolderChooserForTesting({}); }
};

} // namespace

TEST_F(Sheet, SpinStartsAtTheStoredLimitAndStaysWithinOneToTen) {
    vcCommon::setMaxConvertingCountSameTime(3);
    ODSettingController sheet(&window);
    sheet.showSetting(&window);
    EXPECT_EQ(sheet.countLabel()->textTitle(), "3");
    EXPECT_EQ(sheet.countTipLabel()->textTitle(), "Allow converting videos at the same time");
    LXSpinButton *spin = sheet.maxConvertCountBtn();
    EXPECT_EQ(spin->minValue(), 1);
    EXPECT_EQ(spin->maxValue(), 10);
    clickUp(spin);
    EXPECT_EQ(vcCommon::maxConvertingCountSameTime(), 4);
    EXPECT_EQ(sheet.countLabel()->textTitle(), "4");
    for (int i = 0; i < 10; ++i)
        clickDown(spin);
    EXPECT_EQ(vcCommon::maxConvertingCountSameTime(), 1);
    EXPECT_EQ(sheet.countLabel()->textTitle(), "1");
    for (int i = 0; i < 15; ++i)
        clickUp(spin);
    EXPECT_EQ(vcCommon::maxConvertingCountSameTime(), 10);
    sheet.upDownStep(6.9);
    EXPECT_EQ(vcCommon::maxConvertingCountSameTime(), 6);
}

TEST_F(Sheet, AbsurdStoredLimitIsShownWithinRange) {
    foundation::Settings::setValue("allowConvertingMaxCount", 250);
    ODSettingController sheet(&window);
    sheet.initUI();
    EXPECT_EQ(sheet.countLabel()->textTitle(), "10");
    EXPECT_EQ(sheet.maxConvertCountBtn()->curValue(), 10);
    clickDown(sheet.maxConvertCountBtn());
    EXPECT_EQ(vcCommon::maxConvertingCountSameTime(), 9);
}

TEST_F(Sheet, SwitchesShowAndStoreTheirSettings) {
    vcCommon::setAutoCheckStreamCopyWhenSameCodec(false);
    vcCommon::setShowTipAgainWhenChangeOutputFmt(true);
    ODSettingController sheet(&window);
    sheet.initUI();
    EXPECT_FALSE(sheet.autoCheckCodecFmtSwitch()->bOnStates());
    EXPECT_TRUE(sheet.modifyOutputFmtSwitch()->bOnStates());
    click(sheet.autoCheckCodecFmtSwitch()->knobButton(), {5, 5});
    EXPECT_TRUE(vcCommon::autoCheckStreamCopyWhenSameCodec());
    click(sheet.modifyOutputFmtSwitch()->knobButton(), {5, 5});
    EXPECT_FALSE(vcCommon::showTipAgainWhenChangeOutputFmt());
}

TEST_F(Sheet, KeepAwakeSwitchIsOnByDefaultAndStoresItsState) {
    {
        ODSettingController sheet(&window);
        sheet.initUI();
        ASSERT_NE(sheet.keepAwakeSwitch(), nullptr);
        EXPECT_TRUE(sheet.keepAwakeSwitch()->bOnStates());
        click(sheet.keepAwakeSwitch()->knobButton(), {5, 5});
        EXPECT_FALSE(SleepInhibitor::keepAwakeWhileConverting());
    }
    ODSettingController again(&window);
    again.initUI();
    EXPECT_FALSE(again.keepAwakeSwitch()->bOnStates());
    SleepInhibitor::setKeepAwakeWhileConverting(true);
}

// The switch is the list's: stored under its key, and every conversion of the list started
// after it is turned on gets its session filled with the target loudness.
TEST_F(Sheet, EvenLoudnessSwitchIsStoredAndReachesTheListsConversions) {
    vcCommon::setEvenLoudness(false);
    auto fillFor = [] {
        const LXMediaInfoPtr item = LXMediaInfo::initMediaInfoWithPath(testsupport::fixture("short.mp4"));
        SWConvertOption option;
        fillSessionOption(*item, option, vcTableCellView::queueRules());
        return option;
    };
    EXPECT_FALSE(fillFor().evensLoudness());
    {
        ODSettingController sheet(&window);
        sheet.initUI();
        ASSERT_NE(sheet.evenLoudnessSwitch(), nullptr);
        EXPECT_FALSE(sheet.evenLoudnessSwitch()->bOnStates());
        EXPECT_EQ(sheet.evenLoudnessSwitch()->accessibleName(), "Even loudness");
        EXPECT_EQ(sheet.evenLoudnessSwitch()->focusPolicy(), Qt::TabFocus);
        click(sheet.evenLoudnessSwitch()->knobButton(), {5, 5});
        EXPECT_TRUE(vcCommon::evenLoudness());
        EXPECT_TRUE(foundation::Settings::value("evenLoudness").toBool());
    }
    const SWConvertOption on = fillFor();
    EXPECT_DOUBLE_EQ(on.loudnessTarget(), SWConvertOption::kLoudnessDefault);
    ODSettingController again(&window);
    again.initUI();
    EXPECT_TRUE(again.evenLoudnessSwitch()->bOnStates());
    // The editor's exports keep the source's sound.
    SWConvertOption exported;
    fillSessionOption(*LXMediaInfo::initMediaInfoWithPath(testsupport::fixture("short.mp4")), exported,
                      LXFillRules::forExport());
    EXPECT_FALSE(exported.evensLoudness());
    vcCommon::setEvenLoudness(false);
}

TEST_F(Sheet, ChosenFolderIsShownStoredAndReported) {
    Document doc;
    ODSettingController sheet(&window);
    sheet.setSettingControllerDelegate(&doc);
    sheet.initUI();
    const QString start = sheet.savePathField()->text();
    EXPECT_EQ(start, vcCommon::exportMovieFolder());
    QString askedAt;
    SettingController::setFolderChooserForTesting([&](const QString &s) -> std::optional<QString> {
        askedAt = s;
        return std::nullopt;
    });
    click(sheet.browserBtn(), {5, 5});
    EXPECT_EQ(askedAt, start);
    EXPECT_FALSE(foundation::Settings::contains("exportMoviePath")); // cancelled: nothing changes
    const QString chosen = testsupport::freshDir("export");
    SettingController::setFolderChooserForTesting([&](const QString &) -> std::optional<QString> { return chosen; });
    click(sheet.browserBtn(), {5, 5});
    EXPECT_EQ(sheet.savePathField()->text(), chosen);
    EXPECT_EQ(vcCommon::exportMovieFolder(), chosen);
    EXPECT_EQ(doc.folders, QStringList({chosen}));
}

TEST_F(Sheet, ClearingAsksTheDocumentFirst) {
    Document doc;
    ODSettingController sheet(&window);
    sheet.initUI();
    click(sheet.clearHistoryBtn(), {5, 5}); // no delegate: nothing
    sheet.setSettingControllerDelegate(&doc);
    doc.allow = false;
    click(sheet.clearHistoryBtn(), {5, 5});
    doc.allow = std::nullopt;
    sheet.clearHistory();
    EXPECT_EQ(doc.cleared, 0);
    doc.allow = true;
    click(sheet.clearHistoryBtn(), {5, 5});
    EXPECT_EQ(doc.cleared, 1);
}

TEST_F(Sheet, RendersToTheBuildTree) {
    vcCommon::setMaxConvertingCountSameTime(2);
    ODSettingController sheet(&window);
    sheet.initUI();
    const QImage shot = sheet.grab().toImage();
    const QString path = QStringLiteral(CINVORA_BUILD_DIR "/shots/settings-sheet.png");
    QDir().mkpath(QFileInfo(path).absolutePath());
    ASSERT_TRUE(shot.save(path));
    EXPECT_EQ(shot.size(), QSize(480, 336));
    // The spin control and the switches are drawn from their pictures, not placeholders.
    EXPECT_NE(shot.pixelColor(shot.width() - 1, shot.height() - 1), QColor(Qt::red));
    EXPECT_NE(shot.pixelColor(422, 336 - 248), QColor(Qt::red));
}

TEST_F(Sheet, SharedSheetOpensOnTheWindowAndCloses) {
    window.show();
    QPointer<ODSettingController> sheet = ODSettingController::shareSettingController(&window);
    ASSERT_TRUE(sheet);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_EQ(sheet->parentWidget(), &window);
    click(sheet->closeBtn(), {5, 5});
    EXPECT_TRUE(testsupport::waitFor([&] { return sheet.isNull(); }, 3000));
}
