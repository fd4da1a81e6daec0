#include "ConvertCommand.h"

#include "BatchCommand.h"
#include "ConvertArgs.h"
#include "SignalWatcher.h"

#include <foundation/Files.h>
#include <foundation/Log.h>
#include <framewheel/SWConvertSession.h>
#include <framewheel/SWMediaInfoManager.h>

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <algorithm>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace {

QString timeText(int64_t us) {
    const int64_t s = std::max<int64_t>(0, us / 1000000);
    return QString::asprintf("%02lld:%02lld:%02lld", static_cast<long long>(s / 3600),
                             static_cast<long long>(s % 3600 / 60), static_cast<long long>(s % 60));
}

class ProgressPrinter final : public SWConvertSessionDelegate {
public:
    ProgressPrinter() : _tty(::isatty(STDERR_FILENO) == 1) {}
    void sessionProgressPastLeft(SWConvertSession *, double percent, int64_t pastUs, int64_t leftUs) override {
        if (_tty) {
            const int width = 30;
            const int filled = std::clamp(static_cast<int>(percent / 100.0 * width), 0, width);
            const QByteArray bar = QByteArray(filled, '#') + QByteArray(width - filled, '.');
            std::fprintf(stderr, "\r[%s] %5.1f%%  left %s ", bar.constData(), percent, qPrintable(timeText(leftUs)));
            std::fflush(stderr);
            _drawn = true;
        } else {
            const int step = static_cast<int>(percent / 10.0);
            if (step > _lastStep || percent >= 100.0) {
                _lastStep = step;
                std::fprintf(stderr, "progress %.0f%% elapsed %s left %s\n", percent, qPrintable(timeText(pastUs)),
                             qPrintable(timeText(leftUs)));
            }
        }
    }
    void sessionResumed(SWConvertSession *, double keptPercent) override {
        std::fprintf(stderr, "cinvora-cli convert: resuming an interrupted run at %.0f%% (--no-resume starts afresh)\n",
                     keptPercent);
    }
    void endLine() {
        if (_drawn)
            std::fputc('\n', stderr);
        _drawn = false;
    }

private:
    bool _tty;
    bool _drawn = false;
    int _lastStep = -1;
};

int interrupted(const QString &out) {
    std::fprintf(stderr, "cinvora-cli convert: interrupted; %s not written\n", qPrintable(out));
    return 130;
}

int runSingle(const ConvertArgs &a, const QString &typedIn, const QString &out, const SignalWatcher &interrupts) {
    // A name that is not UTF-8 reaches here decoded; its alias opens it.
    const QString in = foundation::Files::openablePath(QFileInfo(typedIn).absoluteFilePath());
    if (!QFileInfo(in).isFile()) {
        std::fprintf(stderr, "cinvora-cli convert: cannot read %s\n", qPrintable(typedIn));
        return 1;
    }
    // The same judgement as the list's intake: what the probe cannot read is not converted
    // (a header naming a codec its data does not hold would otherwise be copied as it is).
    if (const auto probe = SWMediaInfoManager::initWithFile(in, false); !probe->isValid()) {
        std::fprintf(stderr, "cinvora-cli convert: cannot read %s: %s\n", qPrintable(typedIn),
                     qPrintable(probe->error()));
        return 1;
    }
    // The estimate is made from a session filled as the conversion's.
    const auto fill = [&](SWConvertSession &session) {
        session.option().setAuto_streamcopy(true);
        for (const auto &f : a.overrides)
            f(session.option());
        if (!a.subtitleFile.isEmpty())
            session.option().setUsePluginSubtitle(true);
        session.addInputFile(in);
        if (!a.subtitleFile.isEmpty())
            session.loadPluginSubtitle(a.subtitleFile);
        session.setOutputFileName(out);
    };
    if (a.estimate) {
        SWConvertSession session;
        fill(session);
        const SWConvertEstimate e = estimateUnlessInterrupted(session, interrupts);
        if (interrupts.caught())
            return 130;
        return printEstimate(typedIn, out, e, a.json) ? 0 : 1;
    }
    // Clear what a killed earlier run left beside this name, then claim the name: an
    // existing file is never overwritten, and two runs cannot pick the same name.
    foundation::Files::removeStalePartials(QFileInfo(out).absolutePath());
    SWConvertSession::removeStaleWork(QFileInfo(out).absolutePath());
    QString why;
    const foundation::OutputReservation reservation = foundation::Files::reserveExactPath(out, &why);
    if (!reservation.isValid()) {
        std::fprintf(stderr, "cinvora-cli convert: %s\n", qPrintable(why));
        return 1;
    }

    SWConvertSession session;
    ProgressPrinter printer;
    session.setDelegate(&printer);
    fill(session);
    session.setResume(a.noResume ? SWResume::Afresh : SWResume::Resume);

    // A signal during the probe or the reservation: nothing is converted (the reservation
    // removes its partial file on the way out).
    if (interrupts.caught())
        return interrupted(out);
    bool ok = false;
    int caught = 0;
    double seconds = 0;
    {
        std::mutex lock;
        std::condition_variable ended;
        bool finished = false;
        // The signal thread only raises a flag; this one turns it into a cancel. It is woken
        // the moment the conversion ends, so a finished run does not wait out a poll. The
        // cancel is repeated until the run ends: one that came as the session was starting
        // is not lost.
        std::thread canceller([&] {
            std::unique_lock<std::mutex> held(lock);
            while (!ended.wait_for(held, std::chrono::milliseconds(20), [&] { return finished; }))
                // Ctrl-C stops the conversion; the end of the session (a closed terminal, a
                // logout, a shutdown) only interrupts it, and the next run takes it up.
                if (const int sig = interrupts.caught(); sig == SIGINT)
                    session.cancel();
                else if (sig)
                    session.suspend();
        });
        QElapsedTimer clock;
        clock.start();
        ok = session.start();
        seconds = double(clock.elapsed()) / 1000.0;
        {
            const std::lock_guard<std::mutex> held(lock);
            finished = true;
        }
        ended.notify_one();
        canceller.join();
        caught = interrupts.caught();
    }
    printer.endLine();
    const SWConvertResult measured = session.result();
    if (a.json) {
        // The batch table's row for this one file.
        QJsonObject o{{"source", typedIn},
                      {"result", ok       ? QStringLiteral("done")
                                 : caught ? QStringLiteral("cancelled")
                                          : QStringLiteral("failed")},
                      {"seconds", seconds}};
        if (ok)
            o.insert("output", out);
        else if (!caught && !session.lastError().isEmpty())
            o.insert("reason", session.lastError());
        insertMeasured(o, measured);
        std::printf("%s\n", QJsonDocument(o).toJson(QJsonDocument::Compact).constData());
        std::fflush(stdout);
    }
    if (ok) {
        if (!a.json)
            std::printf("%s\n", qPrintable(out));
        if (measured.ssim)
            std::fprintf(stderr, "quality: SSIM %s, PSNR %s dB%s\n", qPrintable(ssimText(measured)),
                         qPrintable(psnrText(measured)),
                         measured.crf ? qPrintable(QStringLiteral(" (CRF %1)").arg(*measured.crf)) : "");
        return 0;
    }
    if (caught)
        return interrupted(out);
    // The session removed what it wrote; the reservation removes its own partial file.
    return 1;
}

} // namespace

int runConvert(const QStringList &args, const SignalWatcher &interrupts) {
    ConvertArgs a;
    if (const QString err = parseConvertArgs(args, a); !err.isEmpty()) {
        std::fprintf(stderr, "cinvora-cli convert: %s\n", qPrintable(err));
        return 2;
    }
    foundation::Log::setEchoToStandardError(true);
    if (!a.outputFile.isEmpty()) {
        if (a.inputs.size() != 1) {
            std::fprintf(stderr, "cinvora-cli convert: -o takes exactly one input\n");
            return 2;
        }
        return runSingle(a, a.inputs.first(), a.outputFile, interrupts);
    }
    // `convert IN OUT`: two names and none of the batch options. The second is the output,
    // also when it exists (it is then refused, never overwritten).
    if (a.inputs.size() == 2 && a.keyPath.isEmpty() && a.outputDir.isEmpty() && a.jobs == 0 &&
        !QFileInfo(a.inputs.first()).isDir() && !QFileInfo(a.inputs.at(1)).isDir())
        return runSingle(a, a.inputs.first(), a.inputs.at(1), interrupts);
    return runBatch(a, interrupts);
}
