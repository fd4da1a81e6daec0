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

class SWConvertSession;
struct SWConvertEstimate;
// The session's estimate, cancelled when a stop signal comes.
SWConvertEstimate estimateUnlessInterrupted(SWConvertSession &session, const SignalWatcher &interrupts);
// One input's estimate as a line of the table, or a JSON object with --json: source, output,
// bytes and seconds, or source and error. False when there is no estimate.
bool printEstimate(const QString &source, const QString &output, const SWConvertEstimate &estimate, bool json);
// A conversion's measured quality as the table shows it ("0.9871", "41.20"; "-" for none)
// and as --json adds it to a row (ssim, psnr_db, frames_measured, crf; absent for none).
QString ssimText(const SWConvertResult &result);
QString psnrText(const SWConvertResult &result);
void insertMeasured(QJsonObject &row, const SWConvertResult &result);
