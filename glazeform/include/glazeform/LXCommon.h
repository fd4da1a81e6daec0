#pragma once
#include <optional>
// Shared helpers of the skin controls: closing open pop-up menus, the time texts of the
// player, editor and trim slider, and the system output volume.
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

    // System output volume of the default sink of the sound server (PulseAudio or PipeWire's
    // Pulse service). Each call opens its own short connection and gives up after
    // kServerTimeoutMs, so a missing or stuck sound server never blocks the caller for long.
    // Main thread or any thread; no state is kept between calls.
    static constexpr int kServerTimeoutMs = 1500;

    // 0..1 sets the level (and clears the mute switch); below 0.001 switches mute on and
    // leaves the level. Outside 0..1: logged, nothing changes.
    static void setVolume(float volume);
    // The level of the default sink, 0..1 (a level above 100% reads as 1); 0 on any failure.
    static float getVolume();
    // The same level, or none when there is no sound server or no default sink to read:
    // a caller that shows a level can then show something truer than silence.
    static std::optional<float> systemVolume();
    // The default sink's index + 1 (so 0 can mean "none"); 0 when there is no server or sink.
    static uint32_t getDefaultOutputDeviceID();
    // The mute switch of the default sink; false on failure.
    static bool isMuted();
};
