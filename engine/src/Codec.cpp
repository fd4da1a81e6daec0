#include "framewheel/Codec.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <atomic>
#include <cstdlib>

namespace {
std::atomic<bool> g_initialised{false};
}

void SWInitCodec(int argc, char **argv) {
    (void)argc;
    (void)argv;
    if (g_initialised.exchange(true))
        return;
    // The engine reports failures through its own results; FFmpeg's chatter stays off
    // unless asked for.
    av_log_set_level(std::getenv("CINVORA_DEBUG") ? AV_LOG_INFO : AV_LOG_QUIET);
    avformat_network_init();
}

void SWUnInitCodec() {
    if (!g_initialised.exchange(false))
        return;
    avformat_network_deinit();
}
