#pragma once
#include "ConvertArgs.h"

class SignalWatcher;

// The batch form of `cinvora-cli convert`: the window's intake rules, formats and gate.
int runBatch(const ConvertArgs &args, const SignalWatcher &interrupts);
// `cinvora-cli formats`: every key path of the catalogue with its container and extension.
int runFormats();
// Resolves what a user typed ("Common Video.MKV", "audio.MP3") to a catalogue key path
// ("Common Video.2--MKV"); empty when nothing matches.
QString resolveKeyPath(const QString &typed);
