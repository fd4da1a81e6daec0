#pragma once
#include "ConvertArgs.h"

#include <framewheel/SWConvertSession.h>

#include <QJsonObject>

class SignalWatcher;

// The batch form of `cinvora-cli convert`: the window's intake rules, formats and gate.
int runBatch(const ConvertArgs &args, const SignalWatcher &interrupts);
// `cinvora-cli formats`: every key path of the catalogue with its container and extension.
int runFormats();
// Resolves what a user typed ("Common Video.MKV", "audio.MP3") to a catalogue key path
// ("Common Video.2--MKV"); empty when nothing matches.
QString resolveKeyPath(const QString &typed);
// A conversion's measured quality as the table shows it ("0.9871", "41.20"; "-" for none)
// and as --json adds it to a row (ssim, psnr_db, frames_measured, crf; absent for none).
QString ssimText(const SWConvertResult &result);
QString psnrText(const SWConvertResult &result);
void insertMeasured(QJsonObject &row, const SWConvertResult &result);
