#include "ODMediaSkin.h"

#include <glazeform/LXImage.h>

namespace {
QPixmap named(const char *name) { return LXImage::named(QString::fromLatin1(name)); }
} // namespace

std::optional<QColor> ODMediaSkin::backgroundColor(LXMediaController *) { return QColor(Qt::black); }
std::optional<QColor> ODMediaSkin::startLblTextColor(LXMediaController *) { return preciseTimeColor(); }
std::optional<QColor> ODMediaSkin::endLblTextColor(LXMediaController *) { return preciseTimeColor(); }

QPixmap ODMediaSkin::leftCutNormalImage(LXMediaController *) { return named("ODEditLeftCutNormal.png"); }
QPixmap ODMediaSkin::leftCutPressImage(LXMediaController *) { return named("ODEditLeftCutPress.png"); }
QPixmap ODMediaSkin::rightCutNormalImage(LXMediaController *) { return named("ODEditRightCutNormal.png"); }
QPixmap ODMediaSkin::rightCutPressImage(LXMediaController *) { return named("ODEditRightCutPress.png"); }
QPixmap ODMediaSkin::cutSliderKnobNormalImage(LXMediaController *) { return named("ODEditCursorNormal.png"); }
QPixmap ODMediaSkin::cutSliderKnobPressImage(LXMediaController *) { return named("ODEditCursorPress.png"); }
QPixmap ODMediaSkin::cutSliderBgImage(LXMediaController *) { return named("ODBgMid.png"); }
QPixmap ODMediaSkin::cutSliderFgImage(LXMediaController *) { return named("ODFgMid.png"); }
QPixmap ODMediaSkin::cutSliderBgLeftImage(LXMediaController *) { return named("ODBgLeft.png"); }
QPixmap ODMediaSkin::cutSliderBgRightImage(LXMediaController *) { return named("ODBgRight.png"); }
QPixmap ODMediaSkin::cutSliderFgLeftImage(LXMediaController *) { return named("ODFgLeft.png"); }
QPixmap ODMediaSkin::cutSliderFgRightImage(LXMediaController *) { return named("ODFgRight.png"); }
QPixmap ODMediaSkin::playNormalImage(LXMediaController *) { return named("ODEditPlayNormal.png"); }
QPixmap ODMediaSkin::playPressImage(LXMediaController *) { return named("ODEditPlayPress.png"); }
QPixmap ODMediaSkin::pauseNormalImage(LXMediaController *) { return named("ODEditPauseNormal.png"); }
QPixmap ODMediaSkin::pausePressImage(LXMediaController *) { return named("ODEditPausePress.png"); }
QPixmap ODMediaSkin::leftApplyNormalImage(LXMediaController *) { return named("ODEditLeftApplyNormal.png"); }
QPixmap ODMediaSkin::leftApplyPressImage(LXMediaController *) { return named("ODEditLeftApplyPress.png"); }
QPixmap ODMediaSkin::rightApplyNormalImage(LXMediaController *) { return named("ODEditRightApplyNormal.png"); }
QPixmap ODMediaSkin::rightApplyPressImage(LXMediaController *) { return named("ODEditRightApplyPress.png"); }
QPixmap ODMediaSkin::firstNormalImage(LXMediaController *) { return named("ODEditFirstNormal.png"); }
QPixmap ODMediaSkin::firstPressImage(LXMediaController *) { return named("ODEditFirstPress.png"); }
QPixmap ODMediaSkin::lastNormalImage(LXMediaController *) { return named("ODEditLastNormal.png"); }
QPixmap ODMediaSkin::lastPressImage(LXMediaController *) { return named("ODEditLastPress.png"); }
QPixmap ODMediaSkin::previousNormalImage(LXMediaController *) { return named("ODEditPreviousNormal.png"); }
QPixmap ODMediaSkin::previousPressImage(LXMediaController *) { return named("ODEditPreviousPress.png"); }
QPixmap ODMediaSkin::nextNormalImage(LXMediaController *) { return named("ODEditNextNormal.png"); }
QPixmap ODMediaSkin::nextPressImage(LXMediaController *) { return named("ODEditNextPress.png"); }
QPixmap ODMediaSkin::trimPlayNormalImage(LXMediaController *) { return named("ODEditTrimPlayNormal.png"); }
QPixmap ODMediaSkin::trimPlayPressImage(LXMediaController *) { return named("ODEditTrimPlayPress.png"); }
QPixmap ODMediaSkin::trimPauseNormalImage(LXMediaController *) { return named("ODEditTrimPauseNormal.png"); }
QPixmap ODMediaSkin::trimPausePressImage(LXMediaController *) { return named("ODEditTrimPausePress.png"); }
QPixmap ODMediaSkin::popNormalImage(LXMediaController *) { return named("ODPopNormal.png"); }
QPixmap ODMediaSkin::popPressImage(LXMediaController *) { return named("ODPopPress.png"); }
QPixmap ODMediaSkin::slideBgImage(LXMediaController *) { return named("ODBgMid.png"); }
QPixmap ODMediaSkin::slideBgLeftImage(LXMediaController *) { return named("ODBgLeft.png"); }
QPixmap ODMediaSkin::slideBgRightImage(LXMediaController *) { return named("ODBgRight.png"); }
QPixmap ODMediaSkin::slideFgImage(LXMediaController *) { return named("ODFgMid.png"); }
QPixmap ODMediaSkin::slideFgLeftImage(LXMediaController *) { return named("ODFgLeft.png"); }
QPixmap ODMediaSkin::slideFgRightImage(LXMediaController *) { return named("ODFgRight.png"); }
QPixmap ODMediaSkin::slideKnobNormalImage(LXMediaController *) { return named("ODPosition.png"); }
QPixmap ODMediaSkin::slideKnobPressImage(LXMediaController *) { return named("ODPosition.png"); }
QPixmap ODMediaSkin::voiceSlideBgImage(LXMediaController *) { return named("ODWhiteBgMid.png"); }
QPixmap ODMediaSkin::voiceSlideBgLeftImage(LXMediaController *) { return named("ODWhiteBgLeft.png"); }
QPixmap ODMediaSkin::voiceSlideBgRightImage(LXMediaController *) { return named("ODWhiteBgRight.png"); }
QPixmap ODMediaSkin::voiceSlideFgImage(LXMediaController *) { return named("ODFgMid.png"); }
QPixmap ODMediaSkin::voiceSlideFgLeftImage(LXMediaController *) { return named("ODFgLeft.png"); }
QPixmap ODMediaSkin::voiceSlideFgRightImage(LXMediaController *) { return named("ODFgRight.png"); }
QPixmap ODMediaSkin::voiceSlideKnobNormalImage(LXMediaController *) { return named("ODPositionNull.png"); }
QPixmap ODMediaSkin::voiceSlideKnobPressImage(LXMediaController *) { return named("ODPositionNull.png"); }
QPixmap ODMediaSkin::plusVoiceNormalImage(LXMediaController *) { return named("ODVolumn+Normal.png"); }
QPixmap ODMediaSkin::plusVoicePressImage(LXMediaController *) { return named("ODVolumn+Press.png"); }
QPixmap ODMediaSkin::minusVoiceNormalImage(LXMediaController *) { return named("ODVolumn-Normal.png"); }
QPixmap ODMediaSkin::minusVoicePressImage(LXMediaController *) { return named("ODVolumn-Press.png"); }
QPixmap ODMediaSkin::goToEditNormalImage(LXMediaController *) { return named("ODEditNormal.png"); }
QPixmap ODMediaSkin::goToEditPressImage(LXMediaController *) { return named("ODEditPress.png"); }
QPixmap ODMediaSkin::singlePlayNormalImage(LXMediaController *) { return named("ODPlayNormal.png"); }
QPixmap ODMediaSkin::singlePlayPressImage(LXMediaController *) { return named("ODPlayPress.png"); }
QPixmap ODMediaSkin::singlePauseNormalImage(LXMediaController *) { return named("ODPauseNormal.png"); }
QPixmap ODMediaSkin::singlePausePressImage(LXMediaController *) { return named("ODPausePress.png"); }
QPixmap ODMediaSkin::backNormalImage(LXMediaController *) { return named("ODSaveNormal.png"); }
QPixmap ODMediaSkin::backPressImage(LXMediaController *) { return named("ODSavePress.png"); }
QPixmap ODMediaSkin::bottomImage(LXMediaController *) { return named("ODTableViewBg.png"); }
QPixmap ODMediaSkin::playerContainerBackGroundImage(LXMediaController *) { return named("ODEditBackGround.png"); }
QPixmap ODMediaSkin::btmPlayControlBackgroundImage(LXMediaController *) { return named("ODEditBtm.png"); }
QPixmap ODMediaSkin::btmSingleControlBackgroundImage(LXMediaController *) { return named("ODSliderBase.png"); }
