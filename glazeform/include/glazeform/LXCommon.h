#pragma once
#include <optional>
// Shared helpers of the skin controls: closing open pop-up menus, the time texts of the
// player, editor and trim slider, and the system output volume.
#include "glazeform/SystemVolume.h"

#include <QString>
#include <cstdint>

class LXCommon {
public:
    // Posted (no user information) by every press on a skinned control; open menus close.
    static const QString kPopupDownMenuItemKey; // "popupDownMenuItemKey"

    // Posts kPopupDownMenuItemKey on the default notification centre.
    static void popupDownMenu();

    // Whole seconds (cut toward zero): "%02d:%02d" below one hour, "%02d:%02d:%02d" from one
    // hour on. Negative, not-a-number and out-of-range inputs count as 0 / the largest value.
    static QString drawTimeDescStr(double seconds);
    // The same text; `totalSec` receives the whole seconds.
    static QString drawTimeDescStrTotalSec(double seconds, int64_t &totalSec);
    // The same text built piecewise (hours unpadded from ten hours on).
    static QString formatTimeDescStr(double seconds);
    // Hundredths of a second -> "H:MM:SS.CC" (with hundredths) or "H:MM:SS"; negative counts as 0.
    static QString timeStringFromTimeIntValueBShowMM(int64_t hundredths, bool showHundredths);

    // The system output volume (SystemVolume.h). Defined there, in GlazeformVolume: a
    // caller of these links that library as well; the controls themselves never load the
    // sound server's client.
    static constexpr int kServerTimeoutMs = SystemVolume::kServerTimeoutMs;
    static void setVolume(float volume) { SystemVolume::setVolume(volume); }
    static float getVolume() { return SystemVolume::getVolume(); }
    static std::optional<float> systemVolume() { return SystemVolume::systemVolume(); }
    static uint32_t getDefaultOutputDeviceID() { return SystemVolume::getDefaultOutputDeviceID(); }
    static bool isMuted() { return SystemVolume::isMuted(); }
};
