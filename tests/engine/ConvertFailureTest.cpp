// Failures answer false with a reason and a log line, leave no output behind and never
// touch a file that was there.
#include "SessionTestSupport.h"
#include "TestSupport.h"

#include <foundation/Files.h>
#include <foundation/Log.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <mutex>
#include <utility>
#include <unistd.h>

using namespace sessiontest;
using testsupport::fixture;

namespace {

QByteArray digest(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1);
}

class ConvertFailure : public ::testing::Test {
protected:
    void SetUp() override {
        foundation::Log::setSink([this](const QString &line) {
            std::lock_guard lock(_m);
            _lines << line;
        });
    }
    void TearDown() override { foundation::Log::setSink({}); }
    QStringList lines() {
        std::lock_guard lock(_m);
        return _lines;
    }
    // Reserves `path` empty, as the callers do, and converts into it.
    Outcome convertReserved(const QString &in, const QString &path,
                            const std::function<void(SWConvertOption &)> &cfg = {}) {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.close();
        return convert(in, path, cfg);
    }

private:
    std::mutex _m;
    QStringList _lines;
};

TEST_F(ConvertFailure, UndecodableInputsFailAndLeaveNoOutput) {
    const QString dir = testsupport::freshDir("bad");
    const QStringList inputs = {fixture("random.mp4"), fixture("text.mkv"),  fixture("corrupt.mp4"),
                                fixture("empty.mp4"),  dir + "/missing.mp4", dir};
    for (const QString &in : inputs) {
        SCOPED_TRACE(in.toStdString());
        const QString out = dir + "/out.mp4";
        const Outcome o = convertReserved(in, out);
        EXPECT_FALSE(o.ok);
        EXPECT_FALSE(o.error.isEmpty());
        EXPECT_FALSE(QFileInfo::exists(out));
    }
    EXPECT_GE(lines().filter("Conversion failed").size(), inputs.size());
}

TEST_F(ConvertFailure, UnknownContainerFails) {
    const QString dir = testsupport::freshDir("container");
    Outcome o = convertReserved(fixture("short.mp4"), dir + "/out.mp4",
                                [](SWConvertOption &opt) { opt.setFormat("no-such-container"); });
    EXPECT_FALSE(o.ok);
    EXPECT_TRUE(o.error.contains("no-such-container")) << o.error.toStdString();
    o = convertReserved(fixture("short.mp4"), dir + "/out.zzz");
    EXPECT_FALSE(o.ok);
    EXPECT_TRUE(QDir(dir).entryList(QDir::Files).isEmpty());
}

TEST_F(ConvertFailure, UnwritableFolderFails) {
    const QString dir = testsupport::freshDir("unwritable");
    QFile plain(dir + "/file");
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    for (const QString &out : {dir + "/missing/out.mp4", dir + "/file/out.mp4"}) {
        const Outcome o = convert(fixture("short.mp4"), out);
        EXPECT_FALSE(o.ok) << out.toStdString();
        EXPECT_FALSE(o.error.isEmpty());
    }
    if (::geteuid() != 0) { // root writes anywhere
        const QString locked = dir + "/locked";
        ASSERT_TRUE(QDir().mkpath(locked));
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        EXPECT_FALSE(convert(fixture("short.mp4"), locked + "/out.mp4").ok);
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
}

TEST_F(ConvertFailure, ExistingFilesAndTheInputAreNeverOverwritten) {
    const QString dir = testsupport::freshDir("keep");
    const QString input = dir + "/in.mp4";
    ASSERT_TRUE(QFile::copy(fixture("short.mp4"), input));
    const QByteArray before = digest(input);
    Outcome o = convert(input, input);
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(digest(input), before);
    // The same file under another name.
    ASSERT_EQ(::link(QFile::encodeName(input).constData(), QFile::encodeName(dir + "/alias.mp4").constData()), 0);
    o = convert(input, dir + "/alias.mp4");
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(digest(input), before);

    const QString other = dir + "/other.mp4";
    QFile f(other);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("somebody's file");
    f.close();
    o = convert(input, other);
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(digest(other), QCryptographicHash::hash("somebody's file", QCryptographicHash::Sha1));
}

TEST_F(ConvertFailure, MissingSubtitleFileAndImpossibleRequestsFail) {
    const QString dir = testsupport::freshDir("impossible");
    Outcome o = convert(fixture("short.mp4"), dir + "/subs.mp4", {}, dir + "/no-such.srt");
    EXPECT_FALSE(o.ok);
    EXPECT_TRUE(o.error.contains("subtitle")) << o.error.toStdString();
    // An audio-only source into an audio-free request.
    o = convert(fixture("audio.mp3"), dir + "/none.mp4", [](SWConvertOption &opt) { opt.setAudio_disable(true); });
    EXPECT_FALSE(o.ok);
    // A trim beyond the end.
    o = convert(fixture("short.mp4"), dir + "/late.mp4", [](SWConvertOption &opt) { opt.setStart_time(60000000); });
    EXPECT_FALSE(o.ok);
    EXPECT_TRUE(QDir(dir).entryList(QDir::Files).isEmpty());
}

// A file cut short states a length it no longer holds. The demuxer meets its end early and
// says nothing more than "end of file", so only the length reached tells the two apart.
TEST_F(ConvertFailure, InputCutShortFailsWithTheReasonAndATinyShortfallDoesNot) {
    const QString dir = testsupport::freshDir("cut");
    QFile whole(fixture("multi.mkv"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    auto cutTo = [&](const QString &name, double share) {
        QFile f(dir + "/" + name);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes.left(static_cast<qsizetype>(bytes.size() * share)));
        return f.fileName();
    };
    const QString half = cutTo("half.mkv", 0.5);
    for (bool copy : {true, false}) {
        SCOPED_TRACE(copy ? "copied" : "encoded");
        const QString out = dir + (copy ? "/half-copy.mkv" : "/half-encoded.mkv");
        const Outcome o = convert(half, out, [&](SWConvertOption &opt) {
            opt.setAuto_streamcopy(copy);
            opt.setAudio_disable(true);
        });
        EXPECT_FALSE(o.ok);
        EXPECT_TRUE(o.error.contains("cut short")) << o.error.toStdString();
        EXPECT_TRUE(o.error.contains("of the 24.0 s it states")) << o.error.toStdString();
        EXPECT_FALSE(QFileInfo::exists(out));
        EXPECT_FALSE(QFileInfo::exists(foundation::Files::partialPathFor(out)));
    }
    EXPECT_TRUE(lines().join('\n').contains("cut short"));
    // A trimmed range that lies within what is left converts.
    const Outcome inRange = convert(half, dir + "/head.mkv", [](SWConvertOption &opt) {
        opt.setAuto_streamcopy(true);
        opt.setRecording_time(4000000);
    });
    EXPECT_TRUE(inRange.ok) << inRange.error.toStdString();
    // Losing the index at the very end costs no picture: that is not a cut input.
    const Outcome tail = convert(cutTo("tail.mkv", 0.995), dir + "/tail-out.mkv",
                                 [](SWConvertOption &opt) { opt.setAuto_streamcopy(true); });
    EXPECT_TRUE(tail.ok) << tail.error.toStdString();
}

// Whatever appears under the final name while the file is made (another program's file) is
// kept: the finished file does not replace it.
TEST_F(ConvertFailure, ANameTakenWhileConvertingIsKept) {
    const QString out = testsupport::freshDir("taken") + "/clip.mkv";
    struct Taker final : SWConvertSessionDelegate {
        QString out;
        bool took = false;
        void sessionProgressPastLeft(SWConvertSession *, double, int64_t, int64_t) override {
            if (std::exchange(took, true))
                return;
            QFile f(out);
            if (f.open(QIODevice::WriteOnly | QIODevice::NewOnly))
                f.write("somebody's file");
        }
    } taker;
    taker.out = out;
    SWConvertSession s;
    s.setDelegate(&taker);
    s.option().setAuto_streamcopy(true);
    s.addInputFile(fixture("short.mp4"));
    s.setOutputFileName(out);
    EXPECT_FALSE(s.start());
    EXPECT_TRUE(taker.took);
    EXPECT_TRUE(s.lastError().contains("appeared while converting")) << s.lastError().toStdString();
    EXPECT_EQ(digest(out), QCryptographicHash::hash("somebody's file", QCryptographicHash::Sha1));
    EXPECT_FALSE(QFileInfo::exists(foundation::Files::partialPathFor(out)));
}

} // namespace

// A damaged input whose header states 5 s while eleven pictures in the middle carry times
// a million seconds later: those pictures are dropped and the rest is kept, so the output
// is as long as the source, whether copied or encoded, in Matroska or MP4.
TEST_F(ConvertFailure, PacketsFarPastTheStatedLengthAreDropped) {
    const QString dir = testsupport::freshDir("jump");
    const QString clean = dir + "/clean.flv";
    ASSERT_EQ(testsupport::runProgram("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i",
                                                 "testsrc=size=160x120:rate=25:duration=5", "-f", "lavfi", "-i",
                                                 "sine=duration=5", "-c:v", "flv1", "-c:a", "aac", "-shortest", clean}),
              0);
    // FLV tags are patched in place (the ffmpeg program would smooth the times out again):
    // type (1 byte), size (3), time in ms (3, then its top byte), stream (3), data, then
    // the tag's length (4).
    QFile f(clean);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray bytes = f.readAll();
    f.close();
    auto byte = [&](qsizetype at) { return static_cast<uint32_t>(static_cast<uint8_t>(bytes[at])); };
    int pictures = 0, jumped = 0;
    for (qsizetype pos = 9 + 4; pos + 11 <= bytes.size();) {
        const uint32_t size = byte(pos + 1) << 16 | byte(pos + 2) << 8 | byte(pos + 3);
        if (bytes[pos] == 9 && pictures >= 50 && pictures <= 60) {
            const uint32_t ms =
                (byte(pos + 7) << 24 | byte(pos + 4) << 16 | byte(pos + 5) << 8 | byte(pos + 6)) + 1000000000u;
            bytes[pos + 4] = static_cast<char>(ms >> 16 & 0xff);
            bytes[pos + 5] = static_cast<char>(ms >> 8 & 0xff);
            bytes[pos + 6] = static_cast<char>(ms & 0xff);
            bytes[pos + 7] = static_cast<char>(ms >> 24);
            ++jumped;
        }
        if (bytes[pos] == 9)
            ++pictures;
        pos += 11 + size + 4;
    }
    ASSERT_EQ(jumped, 11);
    const QString damaged = dir + "/damaged.flv";
    QFile d(damaged);
    ASSERT_TRUE(d.open(QIODevice::WriteOnly));
    ASSERT_EQ(d.write(bytes), bytes.size());
    d.close();
    const MediaInfo source = probe(damaged);
    ASSERT_NEAR(source.duration, 5.0, 0.1);
    ASSERT_EQ(source.video.packets, 125);

    for (const QString ext : {"mkv", "mp4"}) {
        for (bool copy : {true, false}) {
            SCOPED_TRACE(QStringLiteral("%1 %2").arg(ext, copy ? "copied" : "encoded").toStdString());
            const QString out = QStringLiteral("%1/out-%2.%3").arg(dir, copy ? "copy" : "enc", ext);
            const Outcome o = convert(damaged, out, [copy](SWConvertOption &opt) { opt.setAuto_streamcopy(copy); });
            ASSERT_TRUE(o.ok) << o.error.toStdString();
            const MediaInfo made = probe(out);
            ASSERT_TRUE(made.valid);
            EXPECT_NEAR(made.duration, source.duration, 0.1 * source.duration);
            EXPECT_NEAR(made.video.duration, source.duration, 0.1 * source.duration);
            // The pictures after the damaged stretch are all there.
            EXPECT_GE(made.video.packets, 110);
            EXPECT_LE(made.video.packets, 125);
        }
    }
    EXPECT_TRUE(lines().join('\n').contains("far past its stated 5.0")) << lines().join('\n').toStdString();
}
