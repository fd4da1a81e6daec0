#pragma once
// The system output volume: the default sink of the sound server (PulseAudio or PipeWire's
// Pulse service). Needs no window; a library of its own (GlazeformVolume), so that only the
// programs that show a volume load the sound server's client.
#include <cstdint>
#include <optional>

class SystemVolume {
public:
    // Each call opens its own short connection and gives up after kServerTimeoutMs, so a
    // missing or stuck sound server never blocks the caller for long. Main thread or any
    // thread; no state is kept between calls.
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
