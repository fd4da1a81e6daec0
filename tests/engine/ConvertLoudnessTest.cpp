// Even loudness, judged the way a listener's tools judge it: the ffmpeg program's ebur128
// filter on the output. A quiet source, a loud one at the edge of clipping and one of quiet
// then loud bursts all end at the target within a loudness unit, with the true peak at or
// below -1 dBTP; the measuring pass pauses and cancels like the rest of a conversion.
#include "SessionTestSupport.h"
#include "TestSupport.h"

#include <QFileInfo>
#include <algorithm>
#include <QRegularExpression>
#include <atomic>
#include <chrono>
#include <cmath>
#include <gtest/gtest.h>
#include <thread>

using namespace sessiontest;

namespace {

struct Loudness {
    double integrated = NAN, truePeak = NAN;
};

Loudness measure(const QString &path) {
    QByteArray out, err;
    testsupport::runProgram(
        "ffmpeg", {"-hide_banner", "-nostats", "-i", path, "-af", "ebur128=peak=true", "-f", "null", "-"}, &out, &err);
    Loudness l;
    // The summary at the end: "I: -16.0 LUFS" and, under "True peak:", "Peak: -1.5 dBFS".
    const QString text = QString::fromUtf8(err);
    const qsizetype summary = text.lastIndexOf(QLatin1String("Summary:"));
    const QString tail = summary >= 0 ? text.mid(summary) : QString();
    if (const auto m = QRegularExpression(R"(I:\s+(-?[\d.]+) LUFS)").match(tail); m.hasMatch())
        l.integrated = m.captured(1).toDouble();
    if (const auto m = QRegularExpression(R"(Peak:\s+(-?[\d.]+|-inf) dBFS)").match(tail); m.hasMatch())
        l.truePeak = m.captured(1).toDouble();
    return l;
}

// Twelve seconds of stereo, made by the ffmpeg program: EBU R128's integrated loudness
// wants several seconds to settle.
QString source(const QString &name, const QString &graph, const QStringList &codec = {"-c:a", "pcm_s16le"}) {
    const QString out = testsupport::freshDir("loud-src") + "/" + name;
    const QStringList args = QStringList{"-f", "lavfi", "-i", graph + ",aformat=channel_layouts=stereo"} + codec;
    return testsupport::damage::make(args, out) ? out : QString();
}

// Speech-like: pink noise whose level swells and falls a few times a second, about -35 LUFS.
QString quietSource(const QStringList &codec = {"-c:a", "pcm_s16le"}, const QString &name = "quiet.wav") {
    return source(name, "anoisesrc=d=12:c=pink:a=0.15:r=48000,volume='0.55+0.45*sin(2*PI*2.5*t)':eval=frame", codec);
}
// Pushed into a limiter: about -6 LUFS, peaks at full scale.
QString loudSource() {
    return source("loud.wav", "anoisesrc=d=12:c=pink:a=1:r=48000,volume=13.5dB,"
                              "alimiter=limit=0.95:level=0:attack=1:release=20");
}
// Six seconds near -55 LUFS, then half-second bursts near full scale.
QString dynamicSource() {
    return source("dynamic.wav", "anoisesrc=d=12:c=pink:a=1:r=48000,"
                                 "volume='if(lt(t,6),0.01,if(lt(mod(t,1),0.5),1.6,0.01))':eval=frame,"
                                 "alimiter=limit=0.95:level=0");
}

void expectEvened(const QString &out, double target) {
    const Loudness l = measure(out);
    EXPECT_NEAR(l.integrated, target, 1.0) << out.toStdString();
    EXPECT_LE(l.truePeak, -1.0) << out.toStdString();
}

} // namespace

TEST(EvenLoudness, QuietLoudAndDynamicSourcesReachTheTarget) {
    struct Case {
        const char *what;
        QString in;
        double sourceAbove, sourceBelow; // the source really is what its name says
    };
    const Case cases[] = {
        {"quiet", quietSource(), -37, -33}, {"loud", loudSource(), -8, -4}, {"dynamic", dynamicSource(), -18, -10}};
    const QString dir = testsupport::freshDir("loud");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_FALSE(c.in.isEmpty());
        const Loudness before = measure(c.in);
        EXPECT_GT(before.integrated, c.sourceAbove);
        EXPECT_LT(before.integrated, c.sourceBelow);
        const QString out = dir + "/" + c.what + ".m4a";
        const Outcome o =
            convert(c.in, out, [](SWConvertOption &opt) { opt.setLoudnessTarget(SWConvertOption::kLoudnessDefault); });
        ASSERT_TRUE(o.ok) << o.error.toStdString();
        expectEvened(out, SWConvertOption::kLoudnessDefault);
        ASSERT_FALSE(o.percents.empty());
        EXPECT_DOUBLE_EQ(o.percents.back(), 100.0);
    }
    // Another target, and MP3 through its own encoder.
    const QString mp3 = dir + "/quiet-23.mp3";
    ASSERT_TRUE(convert(cases[0].in, mp3, [](SWConvertOption &opt) { opt.setLoudnessTarget(-23); }).ok);
    expectEvened(mp3, -23);
}

TEST(EvenLoudness, SoundThatCouldBeCopiedIsEncodedToEvenIt) {
    const QString in = quietSource({"-c:a", "aac", "-b:a", "128k"}, "quiet.m4a");
    ASSERT_FALSE(in.isEmpty());
    const QString dir = testsupport::freshDir("loud-copy");
    const Outcome o = convert(in, dir + "/out.m4a", [](SWConvertOption &opt) {
        opt.setAuto_streamcopy(true);
        opt.setLoudnessTarget(SWConvertOption::kLoudnessDefault);
    });
    ASSERT_TRUE(o.ok) << o.error.toStdString();
    EXPECT_NE(packetHashes(dir + "/out.m4a", 'a'), packetHashes(in, 'a'));
    expectEvened(dir + "/out.m4a", SWConvertOption::kLoudnessDefault);
}

// A session paused before it starts stops at the measuring pass's first step: the output
// file (opened only after the measure) is still the empty reservation. From there a cancel
// ends it and a resume finishes it.
TEST(EvenLoudness, MeasuringPassPausesAndCancels) {
    const QString in = quietSource();
    ASSERT_FALSE(in.isEmpty());
    const QString dir = testsupport::freshDir("loud-stop");
    for (const bool cancel : {true, false}) {
        SCOPED_TRACE(cancel ? "cancel" : "resume");
        const QString out = dir + (cancel ? "/cancelled.m4a" : "/resumed.m4a");
        SWConvertSession session;
        Recorder recorder;
        session.setDelegate(&recorder);
        session.option().setLoudnessTarget(-16);
        session.addInputFile(in);
        session.setOutputFileName(out);
        session.pause();
        std::atomic<bool> ok{false}, ended{false};
        std::thread run([&] {
            ok = session.start();
            ended = true;
        });
        // Held: nothing written, nothing measured past the first step.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_FALSE(ended.load());
        EXPECT_TRUE(session.paused());
        EXPECT_LE(recorder.last(), 0.0);
        EXPECT_FALSE(QFileInfo(out).size() > 0);
        if (cancel)
            session.cancel();
        else
            session.pause();
        run.join();
        if (cancel) {
            EXPECT_FALSE(ok.load());
            EXPECT_EQ(session.outcome(), SWConvertOutcome::Cancelled);
            EXPECT_FALSE(QFileInfo::exists(out));
        } else {
            ASSERT_TRUE(ok.load()) << session.lastError().toStdString();
            expectEvened(out, -16);
            // The progress went through the measuring pass's part and on to the end.
            const std::vector<double> p = recorder.percents();
            ASSERT_FALSE(p.empty());
            EXPECT_TRUE(std::is_sorted(p.begin(), p.end()));
            EXPECT_DOUBLE_EQ(p.back(), 100.0);
        }
    }
}
