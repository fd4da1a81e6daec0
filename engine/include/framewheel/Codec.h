#pragma once
// Process-wide set-up of the codec engine.
//
// SWInitCodec: call once on the main thread before the event loop; sets the FFmpeg log
//   level (quiet unless CINVORA_DEBUG is set) and network-free defaults. Idempotent.
// SWUnInitCodec: call when the main document is destroyed; safe to call more than once.

void SWInitCodec(int argc, char **argv);
void SWUnInitCodec();
