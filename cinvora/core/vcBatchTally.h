#pragma once
// How a batch of conversions ended, counted from the jobs' outcomes: the one summary the
// window's notification and the command line both print.
#include <QCoreApplication>
#include <QString>

struct vcBatchTally {
    int done = 0;
    int failed = 0;
    int cancelled = 0;

    int ended() const { return done + failed + cancelled; }
    // "3 files converted, 1 failed." The cancelled ones are the user's own doing and are
    // named only when nothing else happened. Whole sentences with their numbers, so that a
    // language can order and inflect them; English gets its plural forms from its own
    // translation, which the command line loads too.
    QString summary() const {
        if (failed > 0)
            return QCoreApplication::translate("vcBatchTally", "%n file(s) converted, %1 failed.", nullptr, done)
                .arg(failed);
        if (done == 0 && cancelled > 0)
            return QCoreApplication::translate("vcBatchTally", "0 files converted, %n stopped.", nullptr, cancelled);
        return QCoreApplication::translate("vcBatchTally", "%n file(s) converted.", nullptr, done);
    }
};
