#pragma once
// How the document dresses the media screens (the list page's player and the trim editor):
// the program's own pictures for the trim slider, the transport, the menus and the sliders,
// black behind the video and grey precise times. Requests it does not answer (the speaker,
// the bottom bar's background, the export button) keep the screens' own pictures.
//
// A host that also reacts to the screens' behaviour messages derives from this class.
// Main thread only; pictures come from the program's resources (LXImage).
#include <reelwright/LXMediaController.h>

class ODMediaSkin : public LXMediaControllerDelegate {
public:
    // The grey of the editor's precise start and end times.
    static QColor preciseTimeColor() { return QColor::fromRgbF(0.4f, 0.4f, 0.4f, 1.0f); }

    std::optional<QColor> backgroundColor(LXMediaController *c) override;
    std::optional<QColor> startLblTextColor(LXMediaController *c) override;
    std::optional<QColor> endLblTextColor(LXMediaController *c) override;

#define OD_MEDIA_PICTURE(request) QPixmap request(LXMediaController *c) override;
    OD_MEDIA_PICTURE(leftCutNormalImage)
    OD_MEDIA_PICTURE(leftCutPressImage)
    OD_MEDIA_PICTURE(rightCutNormalImage)
    OD_MEDIA_PICTURE(rightCutPressImage)
    OD_MEDIA_PICTURE(cutSliderKnobNormalImage)
    OD_MEDIA_PICTURE(cutSliderKnobPressImage)
    OD_MEDIA_PICTURE(cutSliderBgImage)
    OD_MEDIA_PICTURE(cutSliderFgImage)
    OD_MEDIA_PICTURE(cutSliderBgLeftImage)
    OD_MEDIA_PICTURE(cutSliderBgRightImage)
    OD_MEDIA_PICTURE(cutSliderFgLeftImage)
    OD_MEDIA_PICTURE(cutSliderFgRightImage)
    OD_MEDIA_PICTURE(playNormalImage)
    OD_MEDIA_PICTURE(playPressImage)
    OD_MEDIA_PICTURE(pauseNormalImage)
    OD_MEDIA_PICTURE(pausePressImage)
    OD_MEDIA_PICTURE(leftApplyNormalImage)
    OD_MEDIA_PICTURE(leftApplyPressImage)
    OD_MEDIA_PICTURE(rightApplyNormalImage)
    OD_MEDIA_PICTURE(rightApplyPressImage)
    OD_MEDIA_PICTURE(firstNormalImage)
    OD_MEDIA_PICTURE(firstPressImage)
    OD_MEDIA_PICTURE(lastNormalImage)
    OD_MEDIA_PICTURE(lastPressImage)
    OD_MEDIA_PICTURE(previousNormalImage)
    OD_MEDIA_PICTURE(previousPressImage)
    OD_MEDIA_PICTURE(nextNormalImage)
    OD_MEDIA_PICTURE(nextPressImage)
    OD_MEDIA_PICTURE(trimPlayNormalImage)
    OD_MEDIA_PICTURE(trimPlayPressImage)
    OD_MEDIA_PICTURE(trimPauseNormalImage)
    OD_MEDIA_PICTURE(trimPausePressImage)
    OD_MEDIA_PICTURE(popNormalImage)
    OD_MEDIA_PICTURE(popPressImage)
    OD_MEDIA_PICTURE(slideBgImage)
    OD_MEDIA_PICTURE(slideBgLeftImage)
    OD_MEDIA_PICTURE(slideBgRightImage)
    OD_MEDIA_PICTURE(slideFgImage)
    OD_MEDIA_PICTURE(slideFgLeftImage)
    OD_MEDIA_PICTURE(slideFgRightImage)
    OD_MEDIA_PICTURE(slideKnobNormalImage)
    OD_MEDIA_PICTURE(slideKnobPressImage)
    OD_MEDIA_PICTURE(voiceSlideBgImage)
    OD_MEDIA_PICTURE(voiceSlideBgLeftImage)
    OD_MEDIA_PICTURE(voiceSlideBgRightImage)
    OD_MEDIA_PICTURE(voiceSlideFgImage)
    OD_MEDIA_PICTURE(voiceSlideFgLeftImage)
    OD_MEDIA_PICTURE(voiceSlideFgRightImage)
    OD_MEDIA_PICTURE(voiceSlideKnobNormalImage)
    OD_MEDIA_PICTURE(voiceSlideKnobPressImage)
    OD_MEDIA_PICTURE(plusVoiceNormalImage)
    OD_MEDIA_PICTURE(plusVoicePressImage)
    OD_MEDIA_PICTURE(minusVoiceNormalImage)
    OD_MEDIA_PICTURE(minusVoicePressImage)
    OD_MEDIA_PICTURE(goToEditNormalImage)
    OD_MEDIA_PICTURE(goToEditPressImage)
    OD_MEDIA_PICTURE(singlePlayNormalImage)
    OD_MEDIA_PICTURE(singlePlayPressImage)
    OD_MEDIA_PICTURE(singlePauseNormalImage)
    OD_MEDIA_PICTURE(singlePausePressImage)
    OD_MEDIA_PICTURE(backNormalImage)
    OD_MEDIA_PICTURE(backPressImage)
    OD_MEDIA_PICTURE(bottomImage)
    OD_MEDIA_PICTURE(playerContainerBackGroundImage)
    OD_MEDIA_PICTURE(btmPlayControlBackgroundImage)
    OD_MEDIA_PICTURE(btmSingleControlBackgroundImage)
#undef OD_MEDIA_PICTURE
};
