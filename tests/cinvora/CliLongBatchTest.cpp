#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <unistd.h>

using testsupport::fixture;

namespace {

// The process's peak resident size so far, in MiB; -1 once it is gone.
double peakResidentMiB(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

} // namespace

// A folder of 10,000 clips: the list is complete and the first conversions are writing
// before the batch holds 200 MB. Past about 6,000 files the probes' short-lived decoder
// tables used to be served from a heap the list's own data kept from shrinking, and the
// batch reached 220 MB to 780 MB by the end of the intake, with under 50 MB in use.
TEST(LongBatch, TenThousandFilesAreListedInUnder200MB) {
    const QString in = testsupport::freshDir("long-batch");
    const QByteArray source = QFile::encodeName(fixture("short.mp4"));
    constexpr int kFiles = 10000;
    for (int i = 0; i < kFiles; ++i) {
        const QByteArray name = QFile::encodeName(QStringLiteral("%1/f%2.mp4").arg(in).arg(i, 5, 10, QChar('0')));
        ASSERT_EQ(::link(source.constData(), name.constData()), 0) << name.constData();
    }
    const QString out = testsupport::freshDir("long-batch-out");
    testsupport::Child p;
    ASSERT_TRUE(p.start(testsupport::binary("cinvora-cli"), {"convert", in, "--jobs", "2", "--output", out}));
    // Conversions write under hidden names: the first one means every file has been probed.
    const auto writing = [&] { return !QDir(out).entryList(QDir::Files | QDir::Hidden).isEmpty(); };
    double peak = -1;
    for (int i = 0; i < 3000 && !writing(); ++i) {
        peak = std::max(peak, peakResidentMiB(p.pid()));
        QThread::msleep(50);
    }
    ASSERT_TRUE(writing()) << "no conversion began within 150 s";
    peak = std::max(peak, peakResidentMiB(p.pid()));
    p.kill(SIGINT);
    EXPECT_EQ(p.wait(60000), 130);
    std::printf("peak resident size %.1f MiB\n", peak);
    EXPECT_GT(peak, 0);
    EXPECT_LT(peak, 200) << "peak resident size " << peak << " MiB";
    QDir(in).removeRecursively();
}
