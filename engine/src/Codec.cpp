#include "framewheel/Codec.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <atomic>
#include <cstdlib>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {
std::atomic<bool> g_initialised{false};
}

void SWInitCodec(int argc, char **argv) {
    (void)argc;
    (void)argv;
    if (g_initialised.exchange(true))
        return;
#ifdef __GLIBC__
    // Every probe and conversion opens decoders whose tables (170 KB to 770 KB) live only
    // while it runs. The C library maps blocks that large apart, but after the first one is
    // freed it raises that limit and serves them from the thread's heap, where the list's
    // small, lasting data settles between them and the heap can no longer shrink: a batch
    // of 10,000 files held 220 MB to 580 MB, with under 50 MB of it in use. Fixing the
    // limit at its usual value keeps such blocks out of the heap.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
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
