#pragma once
// How a batch of conversions ended, counted from the jobs' outcomes: the one summary the
// window's notification and the command line both print.
#include <QString>

struct vcBatchTally {
    int done = 0;
    int failed = 0;
    int cancelled = 0;

    int ended() const { return done + failed + cancelled; }
    // "3 files converted, 1 failed." The cancelled ones are the user's own doing and are
    // named only when nothing else happened.
    QString summary() const {
        QString s = done == 1 ? QStringLiteral("1 file converted") : QStringLiteral("%1 files converted").arg(done);
        if (failed > 0)
            s += QStringLiteral(", %1 failed").arg(failed);
        if (done == 0 && failed == 0 && cancelled > 0)
            s += cancelled == 1 ? QStringLiteral(", 1 stopped") : QStringLiteral(", %1 stopped").arg(cancelled);
        return s + QLatin1Char('.');
    }
};
