#include "BatchCommand.h"

#include "SignalWatcher.h"

#include <FormatRules.h>
#include <ODDocument.h>
#include <vcBatchTally.h>
#include <vcCommon.h>

#include <foundation/Files.h>
#include <foundation/Log.h>
#include <foundation/MainThread.h>
#include <framewheel/SWConvertSession.h>
#include <framewheel/SWMediaInfoManager.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <unistd.h>

using foundation::MainThread;

namespace {

struct RowReport {
    QString source;
    QString output;
    QString result;
    double seconds = 0;
    QString reason; // why a file was skipped or failed, shown where the output would be
    QString note;   // why the output's name differs from the source's
    SWConvertResult measured;
};

class Progress {
public:
    Progress() : _tty(::isatty(STDERR_FILENO) == 1) {}

    void show(const std::vector<vcTableCellViewPtr> &rows) {
        QStringList lines;
        for (const auto &r : rows) {
            if (!r->hasSession() || !r->aleadyStart())
                continue;
            const auto item = r->editMovie();
            const double pct = r->controls().progress * 100.0;
            // The job's numbers, not its row's texts.
            const int64_t remainingUs = r->controls().remainingUs;
            const QString left = remainingUs >= 0 ? vcTableCellView::_timeDescriptionFromLongTime(remainingUs)
                                                  : QStringLiteral("--:--:--");
            const QString name = QFileInfo(item ? item->fileName() : QString()).fileName();
            if (_tty) {
                const int width = 24;
                const int filled = std::clamp(static_cast<int>(pct / 100.0 * width), 0, width);
                lines << QStringLiteral("%1 [%2%3] %4%  left %5")
                             .arg(name.left(32), -32)
                             .arg(QString(filled, '#'), QString(width - filled, '.'))
                             .arg(pct, 5, 'f', 1)
                             .arg(r->isPaused() ? QStringLiteral("paused") : left);
            } else {
                const int step = static_cast<int>(pct / 10.0);
                int &last = _lastStep[r.get()];
                if (step > last || (last == 0 && step == 0 && !_seen.contains(r.get()))) {
                    last = step;
                    _seen.insert(r.get());
                    lines << QStringLiteral("%1: %2% left %3").arg(name).arg(static_cast<int>(pct)).arg(left);
                }
            }
        }
        if (_tty) {
            clear();
            for (const QString &l : lines)
                std::fprintf(stderr, "%s\n", qPrintable(l));
            _drawn = static_cast<int>(lines.size());
        } else {
            for (const QString &l : lines)
                std::fprintf(stderr, "%s\n", qPrintable(l));
        }
        std::fflush(stderr);
    }

    void clear() {
        if (!_tty)
            return;
        for (int i = 0; i < _drawn; ++i)
            std::fputs("\x1b[1A\x1b[2K", stderr);
        _drawn = 0;
    }

private:
    bool _tty;
    int _drawn = 0;
    QHash<const void *, int> _lastStep;
    QSet<const void *> _seen;
};

// Files whose names are not UTF-8 are opened through an alias (foundation::Files); `shown`
// maps each alias to the path the user knows, as it decodes. `missing`: "input: why".
QStringList expandInputs(const QStringList &inputs, QStringList &missing, QHash<QString, QString> &shown) {
    QStringList paths;
    for (const QString &in : inputs) {
        const QFileInfo fi(in);
        if (fi.isDir()) {
            const QDir dir(fi.absoluteFilePath());
            for (const QString &p : foundation::Files::filePathsIn(dir.path())) {
                if (foundation::Files::isAlias(p))
                    shown.insert(p, dir.filePath(QFileInfo(p).fileName()));
                paths << p;
            }
        } else if (fi.exists()) {
            paths << fi.absoluteFilePath();
        } else if (QString why, alias = foundation::Files::openablePath(fi.absoluteFilePath(), &why);
                   !alias.isEmpty()) {
            shown.insert(alias, fi.absoluteFilePath());
            paths << alias;
        } else {
            missing << QStringLiteral("%1: %2").arg(in, why.isEmpty() ? QStringLiteral("no such file or folder") : why);
        }
    }
    return paths;
}

} // namespace

SWConvertEstimate estimateUnlessInterrupted(SWConvertSession &session, const SignalWatcher &interrupts) {
    std::atomic<bool> finished{false};
    // The signal thread only raises a flag; this one turns it into a cancel.
    std::thread canceller([&] {
        while (!finished.load()) {
            if (interrupts.caught())
                session.cancel();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    const SWConvertEstimate e = session.estimate();
    finished.store(true);
    canceller.join();
    return e;
}

bool printEstimate(const QString &source, const QString &output, const SWConvertEstimate &e, bool json) {
    if (json) {
        QJsonObject o{{"source", source}};
        if (e.valid()) {
            o.insert("output", output);
            o.insert("bytes", qint64(e.bytes));
            o.insert("seconds", e.seconds);
        } else {
            o.insert("error", e.error);
        }
        std::printf("%s\n", QJsonDocument(o).toJson(QJsonDocument::Compact).constData());
    } else if (e.valid()) {
        std::printf("%s  about %.1f MB in about %.0f s\n", qPrintable(source), double(e.bytes) / 1e6, e.seconds);
    } else {
        std::printf("%s  no estimate: %s\n", qPrintable(source), qPrintable(e.error));
    }
    std::fflush(stdout);
    return e.valid();
}

QString ssimText(const SWConvertResult &r) { return r.ssim ? QString::number(*r.ssim, 'f', 4) : QStringLiteral("-"); }

QString psnrText(const SWConvertResult &r) {
    return r.psnrDb ? QString::number(*r.psnrDb, 'f', 2) : QStringLiteral("-");
}

void insertMeasured(QJsonObject &o, const SWConvertResult &r) {
    if (r.ssim)
        o.insert("ssim", *r.ssim);
    if (r.psnrDb)
        o.insert("psnr_db", *r.psnrDb);
    if (r.ssim)
        o.insert("frames_measured", double(r.framesMeasured));
    if (r.crf)
        o.insert("crf", *r.crf);
}

QString resolveKeyPath(const QString &typed) {
    const FormatRecord *record = FormatCatalogue::shared().findTyped(typed);
    return record ? record->key.keyPath() : QString();
}

int runFormats() {
    const FormatCatalogue &catalogue = FormatCatalogue::shared();
    for (const QString &cat : ODDocument::categoryNames())
        for (const FormatRecord &r : catalogue.formatsIn(cat))
            std::printf("%s.%s\t%s\t%s\n", qPrintable(cat), qPrintable(r.caption), qPrintable(r.container),
                        qPrintable(r.ext));
    return 0;
}

int runBatch(const ConvertArgs &a, const SignalWatcher &interrupts) {
    foundation::Log::setEchoToStandardError(a.verbose);
    QString keyPath;
    if (!a.keyPath.isEmpty()) {
        keyPath = resolveKeyPath(a.keyPath);
        if (keyPath.isEmpty()) {
            std::fprintf(stderr, "cinvora-cli convert: no format \"%s\"; `cinvora-cli formats` lists them\n",
                         qPrintable(a.keyPath));
            return 2;
        }
    }
    QStringList missing;
    QHash<QString, QString> shown;
    const QStringList paths = expandInputs(a.inputs, missing, shown);
    for (const QString &m : missing)
        std::fprintf(stderr, "cinvora-cli convert: %s\n", qPrintable(m));
    const QString outDir =
        QFileInfo(a.outputDir.isEmpty() ? vcCommon::exportMovieFolder() : a.outputDir).absoluteFilePath();
    if (!QDir().mkpath(outDir) || !QFileInfo(outDir).isWritable()) {
        std::fprintf(stderr, "cinvora-cli convert: cannot write into %s\n", qPrintable(outDir));
        return 1;
    }

    // What a killed earlier run left in the folder goes before any name is picked there.
    foundation::Files::removeStalePartials(outDir);
    SWConvertSession::removeStaleWork(outDir);

    ODDocument doc;
    doc.setUsesHistory(false);
    doc.setMakesPictures(false);
    doc.setExportFolderOverride(outDir);
    if (a.jobs > 0)
        doc.setSlotLimitOverride(a.jobs);
    const auto overrides = a.overrides;
    doc.setSessionOptionAdjuster([overrides](vcTableCellView *, SWConvertOption &option) {
        for (const auto &f : overrides)
            f(option);
    });

    doc.concludeDragFile(paths);
    MainThread::waitPumping([&] { return !doc.isAdding() || interrupts.caught(); });
    if (interrupts.caught()) {
        doc.cancelAddFiles(true);
        MainThread::waitPumping([&] { return !doc.isAdding(); });
        return 130;
    }

    QSet<QString> taken;
    for (const auto &row : doc.cellArray())
        taken.insert(row->editMovie()->fileName());
    std::vector<RowReport> skipped;
    for (const QString &p : paths)
        if (!taken.contains(p))
            skipped.push_back({p,
                               QString(),
                               QStringLiteral("skipped"),
                               0,
                               doc.lastSkippedReasons().value(p, QStringLiteral("not added")),
                               QString(),
                               {}});

    for (const auto &row : doc.cellArray()) {
        const LXMediaInfoPtr item = row->editMovie();
        const QString path =
            !keyPath.isEmpty() ? keyPath : LXDefaultFormat::forSource(item->bSourceIsVideo()).keyPath();
        if (const FormatRecord *record = FormatCatalogue::shared().find(path))
            doc.applyFormat(*item, *record);
        if (!a.subtitleFile.isEmpty())
            item->setSrtSubtitleFile(QFileInfo(a.subtitleFile).absoluteFilePath());
    }
    const auto &rows = doc.cellArray();
    if (a.estimate) {
        int without = static_cast<int>(missing.size());
        for (const auto &r : rows) {
            if (interrupts.caught())
                break;
            SWConvertSession session;
            r->prepareEstimate(session);
            const SWConvertEstimate e = estimateUnlessInterrupted(session, interrupts);
            if (interrupts.caught())
                break;
            const QString source = r->editMovie() ? r->editMovie()->fileName() : QString();
            if (!printEstimate(shown.value(source, source), session.outputFileName(), e, a.json))
                ++without;
        }
        for (const RowReport &r : skipped)
            printEstimate(shown.value(r.source, r.source), QString(), SWConvertEstimate{0, 0, r.reason}, a.json);
        doc.shutdown();
        if (interrupts.caught())
            return 130;
        return without > 0 || !skipped.empty() || rows.empty() ? 1 : 0;
    }
    Progress progress;
    doc.convertAll();
    bool cancelled = false;
    auto allEnded = [&] {
        for (const auto &r : rows)
            if (r->hasSession())
                return false;
        return doc.currentSessionCount() == 0;
    };
    while (!allEnded()) {
        MainThread::waitPumping([&] { return interrupts.caught() && !cancelled; }, 200);
        if (interrupts.caught() && !cancelled) {
            cancelled = true;
            progress.clear();
            std::fprintf(stderr, "cinvora-cli convert: interrupted; stopping every conversion\n");
            doc.cancelAll();
        }
        if (!cancelled)
            progress.show(rows);
    }
    progress.clear();
    MainThread::drain();

    std::vector<RowReport> report;
    vcBatchTally tally;
    for (const auto &r : rows) {
        RowReport rr;
        rr.source = r->editMovie() ? r->editMovie()->fileName() : QString();
        // The job's outcome decides; a row stopped before it started has none.
        const vcJobOutcome &outcome = r->lastOutcome();
        if (outcome.kind == vcJobOutcome::Done && QFileInfo::exists(outcome.outputFile)) {
            rr.result = QStringLiteral("done");
            rr.output = outcome.outputFile;
            rr.note = outcome.note;
            rr.measured = outcome.measured;
            ++tally.done;
        } else if (outcome.kind == vcJobOutcome::Failed) {
            rr.result = QStringLiteral("failed");
            rr.reason = outcome.reason;
            ++tally.failed;
        } else {
            rr.result = QStringLiteral("cancelled");
            ++tally.cancelled;
        }
        rr.seconds = r->lastConversionSeconds();
        report.push_back(rr);
    }
    report.insert(report.end(), skipped.begin(), skipped.end());
    for (RowReport &r : report) {
        if (!shown.contains(r.source))
            continue;
        r.source = shown.value(r.source);
        if (r.result == QLatin1String("done") && r.note.isEmpty())
            r.note = QCoreApplication::translate(
                "BatchCommand", "the source's name is not valid UTF-8; U+FFFD stands for the bytes that are not");
    }
    const int failed = tally.failed + static_cast<int>(missing.size());

    if (a.json) {
        for (const auto &r : report) {
            QJsonObject o{{"source", r.source}, {"result", r.result}, {"seconds", r.seconds}};
            if (!r.output.isEmpty())
                o.insert("output", r.output);
            if (!r.reason.isEmpty())
                o.insert("reason", r.reason);
            if (!r.note.isEmpty())
                o.insert("note", r.note);
            insertMeasured(o, r.measured);
            std::printf("%s\n", QJsonDocument(o).toJson(QJsonDocument::Compact).constData());
        }
    } else {
        int w = 6;
        for (const auto &r : report)
            w = std::max(w, static_cast<int>(QFileInfo(r.source).fileName().size()));
        std::printf("%-*s  %-8s  %8s  %-6s  %-7s  %s\n", w, "source", "result", "seconds", "SSIM", "PSNR",
                    "output or reason");
        for (const auto &r : report) {
            QString last = !r.output.isEmpty() ? r.output : !r.reason.isEmpty() ? r.reason : QStringLiteral("-");
            if (!r.note.isEmpty())
                last += QStringLiteral(" (%1)").arg(r.note);
            std::printf("%-*s  %-8s  %8.1f  %-6s  %-7s  %s\n", w, qPrintable(QFileInfo(r.source).fileName()),
                        qPrintable(r.result), r.seconds, qPrintable(ssimText(r.measured)),
                        qPrintable(psnrText(r.measured)), qPrintable(last));
        }
        std::printf("%s\n", qPrintable(tally.summary()));
    }
    std::fflush(stdout);
    doc.shutdown();
    if (cancelled)
        return 130;
    // A run that converted nothing did not do what was asked, even when nothing failed.
    return failed > 0 || tally.done == 0 ? 1 : 0;
}
