// The system output volume against a real sound server: a private PulseAudio with a null
// sink, started by the test; and the failure paths without a server.
#include <glazeform/LXCommon.h>

#include <foundation/Log.h>

#include "TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <mutex>

namespace {

// Collects the fixed log lines while alive.
class LogCapture {
public:
    LogCapture() {
        foundation::Log::setSink([this](const QString &line) {
            std::lock_guard l(_lock);
            _lines << line;
        });
    }
    ~LogCapture() { foundation::Log::setSink({}); }
    QStringList lines() {
        std::lock_guard l(_lock);
        return _lines;
    }

private:
    std::mutex _lock;
    QStringList _lines;
};

// Points the client library at `server` for the test's lifetime.
class ServerAddress {
public:
    explicit ServerAddress(const QByteArray &server) : _old(qgetenv("PULSE_SERVER")) {
        qputenv("PULSE_SERVER", server);
    }
    ~ServerAddress() {
        if (_old.isEmpty())
            qunsetenv("PULSE_SERVER");
        else
            qputenv("PULSE_SERVER", _old);
    }

private:
    QByteArray _old;
};

class PrivateSoundServer : public ::testing::Test {
protected:
    void SetUp() override {
        const QString exe = QStandardPaths::findExecutable("pulseaudio");
        if (exe.isEmpty())
            GTEST_SKIP() << "pulseaudio is not installed";
        ASSERT_TRUE(_dir.isValid());
        _socket = _dir.filePath("native");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", _dir.path());
        env.insert("PULSE_RUNTIME_PATH", _dir.filePath("run"));
        env.insert("PULSE_STATE_PATH", _dir.filePath("state"));
        env.remove("PULSE_SERVER");
        _server.setProcessEnvironment(env);
        _server.setProcessChannelMode(QProcess::MergedChannels);
        _server.start(exe, {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=false", "--system=false",
                            "--disable-shm=true", "--log-target=stderr", "-L",
                            "module-null-sink sink_name=cinvora_test_sink", "-L",
                            "module-native-protocol-unix auth-anonymous=1 socket=" + _socket});
        ASSERT_TRUE(_server.waitForStarted(10000));
        const bool up = testsupport::waitFor(
            [&] { return QFileInfo::exists(_socket) || _server.state() == QProcess::NotRunning; }, 15000);
        ASSERT_TRUE(up && _server.state() == QProcess::Running) << _server.readAll().constData();
        _address = std::make_unique<ServerAddress>("unix:" + _socket.toUtf8());
        // The socket exists a moment before the server answers on it.
        ASSERT_TRUE(testsupport::waitFor([] { return LXCommon::getDefaultOutputDeviceID() != 0; }, 10000));
    }
    void TearDown() override {
        _address.reset();
        if (_server.state() != QProcess::NotRunning) {
            _server.terminate();
            if (!_server.waitForFinished(5000)) {
                _server.kill();
                _server.waitForFinished(2000);
            }
        }
    }

    // The sink's level as an independent client reports it, in percent; -1 when unknown.
    int pactlPercent() {
        QByteArray out;
        if (testsupport::runProgram("pactl", {"get-sink-volume", "cinvora_test_sink"}, &out) != 0)
            return -1;
        const auto m = QRegularExpression("(\\d+)%").match(QString::fromUtf8(out));
        return m.hasMatch() ? m.captured(1).toInt() : -1;
    }
    bool pactlMuted() {
        QByteArray out;
        testsupport::runProgram("pactl", {"get-sink-mute", "cinvora_test_sink"}, &out);
        return out.contains("yes");
    }

    QTemporaryDir _dir{QDir::tempPath() + "/cinvora-pulse-XXXXXX"};
    QString _socket;
    QProcess _server;
    std::unique_ptr<ServerAddress> _address;
};

} // namespace

TEST_F(PrivateSoundServer, SetReadBackMuteAndUnmute) {
    LXCommon::setVolume(0.4f);
    EXPECT_NEAR(LXCommon::getVolume(), 0.4f, 0.005f);
    EXPECT_EQ(pactlPercent(), 40);
    EXPECT_FALSE(LXCommon::isMuted());

    // Below the threshold: muted, the level untouched.
    LogCapture log;
    LXCommon::setVolume(0.0005f);
    EXPECT_TRUE(LXCommon::isMuted());
    EXPECT_TRUE(pactlMuted());
    EXPECT_NEAR(LXCommon::getVolume(), 0.4f, 0.005f);
    EXPECT_TRUE(log.lines().contains("muted"));

    // Any level clears the mute switch.
    LXCommon::setVolume(0.75f);
    EXPECT_FALSE(LXCommon::isMuted());
    EXPECT_FALSE(pactlMuted());
    EXPECT_NEAR(LXCommon::getVolume(), 0.75f, 0.005f);
    LXCommon::setVolume(0.0f);
    EXPECT_TRUE(LXCommon::isMuted());
    LXCommon::setVolume(1.0f);
    EXPECT_FALSE(LXCommon::isMuted());
    EXPECT_EQ(pactlPercent(), 100);
}

TEST_F(PrivateSoundServer, OutOfRangeChangesNothing) {
    LXCommon::setVolume(0.3f);
    LogCapture log;
    LXCommon::setVolume(1.5f);
    LXCommon::setVolume(-0.2f);
    EXPECT_NEAR(LXCommon::getVolume(), 0.3f, 0.005f);
    EXPECT_TRUE(log.lines().contains("volume out of range (1.50)"));
    EXPECT_TRUE(log.lines().contains("volume out of range (-0.20)"));
    EXPECT_FALSE(LXCommon::isMuted());
}

TEST_F(PrivateSoundServer, AmplifiedSinkReadsAsFullLevel) {
    ASSERT_EQ(testsupport::runProgram("pactl", {"set-sink-volume", "cinvora_test_sink", "130%"}), 0);
    EXPECT_FLOAT_EQ(LXCommon::getVolume(), 1.0f);
}

TEST(SoundServerAbsent, CallsFailWithZeroAndLogTheirLines) {
    QTemporaryDir dir;
    ServerAddress addr("unix:" + dir.filePath("no-server-here").toUtf8());
    LogCapture log;
    EXPECT_EQ(LXCommon::getDefaultOutputDeviceID(), 0u);
    EXPECT_EQ(LXCommon::getVolume(), 0.0f);
    LXCommon::setVolume(0.5f);
    EXPECT_FALSE(LXCommon::isMuted());
    const QStringList lines = log.lines();
    EXPECT_TRUE(lines.contains("Cannot find default output device!"));
    EXPECT_TRUE(lines.contains("Unknown device"));
}

TEST(SoundServerAbsent, SilentServerDoesNotHangTheCaller) {
    // A socket that accepts connections and never answers.
    QTemporaryDir dir;
    QLocalServer silent;
    silent.setSocketOptions(QLocalServer::UserAccessOption);
    ASSERT_TRUE(silent.listen(dir.filePath("silent")));
    ServerAddress addr("unix:" + dir.filePath("silent").toUtf8());
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(LXCommon::getVolume(), 0.0f);
    // The call gives up at its own deadline; anything near this bound would be a hang.
    EXPECT_LT(t.elapsed(), 8 * LXCommon::kServerTimeoutMs);
}
