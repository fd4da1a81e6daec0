#pragma once
// A delegate that dresses the media screens the way the application's document does (its
// pictures come from the program's skin, embedded into the test), and records the behaviour
// messages it gets.
#include <glazeform/LXImage.h>
#include <reelwright/LXMediaController.h>

struct DocumentSkin : LXMediaControllerDelegate {
    int updates = 0;
    int editRequests = 0;
    LXMediaController *editSender = nullptr;

    void updateEditMovieInfo() override { ++updates; }
    void beginToEditMovie(LXMediaController *c) override {
        ++editRequests;
        editSender = c;
    }

    static QPixmap pic(const char *name) { return LXImage::named(QString::fromLatin1(name)); }

    std::optional<QColor> backgroundColor(LXMediaController *) override { return QColor(Qt::black); }
    std::optional<QColor> startLblTextColor(LXMediaController *) override { return QColor::fromRgbF(0.4f, 0.4f, 0.4f); }
    std::optional<QColor> endLblTextColor(LXMediaController *) override { return QColor::fromRgbF(0.4f, 0.4f, 0.4f); }
#define ANSWER(request, name)                                                                                          \
    QPixmap request(LXMediaController *) override { return pic(name); }
    ANSWER(leftCutNormalImage, "ODEditLeftCutNormal.png")
    ANSWER(leftCutPressImage, "ODEditLeftCutPress.png")
    ANSWER(rightCutNormalImage, "ODEditRightCutNormal.png")
    ANSWER(rightCutPressImage, "ODEditRightCutPress.png")
    ANSWER(cutSliderKnobNormalImage, "ODEditCursorNormal.png")
    ANSWER(cutSliderKnobPressImage, "ODEditCursorPress.png")
    ANSWER(cutSliderBgImage, "ODBgMid.png")
    ANSWER(cutSliderFgImage, "ODFgMid.png")
    ANSWER(cutSliderBgLeftImage, "ODBgLeft.png")
    ANSWER(cutSliderBgRightImage, "ODBgRight.png")
    ANSWER(cutSliderFgLeftImage, "ODFgLeft.png")
    ANSWER(cutSliderFgRightImage, "ODFgRight.png")
    ANSWER(playNormalImage, "ODEditPlayNormal.png")
    ANSWER(playPressImage, "ODEditPlayPress.png")
    ANSWER(pauseNormalImage, "ODEditPauseNormal.png")
    ANSWER(pausePressImage, "ODEditPausePress.png")
    ANSWER(leftApplyNormalImage, "ODEditLeftApplyNormal.png")
    ANSWER(leftApplyPressImage, "ODEditLeftApplyPress.png")
    ANSWER(rightApplyNormalImage, "ODEditRightApplyNormal.png")
    ANSWER(rightApplyPressImage, "ODEditRightApplyPress.png")
    ANSWER(firstNormalImage, "ODEditFirstNormal.png")
    ANSWER(firstPressImage, "ODEditFirstPress.png")
    ANSWER(lastNormalImage, "ODEditLastNormal.png")
    ANSWER(lastPressImage, "ODEditLastPress.png")
    ANSWER(previousNormalImage, "ODEditPreviousNormal.png")
    ANSWER(previousPressImage, "ODEditPreviousPress.png")
    ANSWER(nextNormalImage, "ODEditNextNormal.png")
    ANSWER(nextPressImage, "ODEditNextPress.png")
    ANSWER(trimPlayNormalImage, "ODEditTrimPlayNormal.png")
    ANSWER(trimPlayPressImage, "ODEditTrimPlayPress.png")
    ANSWER(trimPauseNormalImage, "ODEditTrimPauseNormal.png")
    ANSWER(trimPausePressImage, "ODEditTrimPausePress.png")
    ANSWER(popNormalImage, "ODPopNormal.png")
    ANSWER(popPressImage, "ODPopPress.png")
    ANSWER(slideBgImage, "ODBgMid.png")
    ANSWER(slideBgLeftImage, "ODBgLeft.png")
    ANSWER(slideBgRightImage, "ODBgRight.png")
    ANSWER(slideFgImage, "ODFgMid.png")
    ANSWER(slideFgLeftImage, "ODFgLeft.png")
    ANSWER(slideFgRightImage, "ODFgRight.png")
    ANSWER(slideKnobNormalImage, "ODPosition.png")
    ANSWER(slideKnobPressImage, "ODPosition.png")
    ANSWER(voiceSlideBgImage, "ODWhiteBgMid.png")
    ANSWER(voiceSlideBgLeftImage, "ODWhiteBgLeft.png")
    ANSWER(voiceSlideBgRightImage, "ODWhiteBgRight.png")
    ANSWER(voiceSlideFgImage, "ODFgMid.png")
    ANSWER(voiceSlideFgLeftImage, "ODFgLeft.png")
    ANSWER(voiceSlideFgRightImage, "ODFgRight.png")
    ANSWER(voiceSlideKnobNormalImage, "ODPositionNull.png")
    ANSWER(voiceSlideKnobPressImage, "ODPositionNull.png")
    ANSWER(plusVoiceNormalImage, "ODVolumn+Normal.png")
    ANSWER(plusVoicePressImage, "ODVolumn+Press.png")
    ANSWER(minusVoiceNormalImage, "ODVolumn-Normal.png")
    ANSWER(minusVoicePressImage, "ODVolumn-Press.png")
    ANSWER(goToEditNormalImage, "ODEditNormal.png")
    ANSWER(goToEditPressImage, "ODEditPress.png")
    ANSWER(singlePlayNormalImage, "ODPlayNormal.png")
    ANSWER(singlePlayPressImage, "ODPlayPress.png")
    ANSWER(singlePauseNormalImage, "ODPauseNormal.png")
    ANSWER(singlePausePressImage, "ODPausePress.png")
    ANSWER(backNormalImage, "ODSaveNormal.png")
    ANSWER(backPressImage, "ODSavePress.png")
    ANSWER(bottomImage, "ODTableViewBg.png")
    ANSWER(playerContainerBackGroundImage, "ODEditBackGround.png")
    ANSWER(btmPlayControlBackgroundImage, "ODEditBtm.png")
    ANSWER(btmSingleControlBackgroundImage, "ODSliderBase.png")
#undef ANSWER
};
