#include "glazeform/LXCommon.h"

#include <foundation/NotificationCenter.h>

#include <limits>

const QString LXCommon::kPopupDownMenuItemKey = QStringLiteral("popupDownMenuItemKey");

void LXCommon::popupDownMenu() { foundation::NotificationCenter::defaultCenter().post(kPopupDownMenuItemKey); }

namespace {
int wholeSeconds(double seconds) {
    if (!(seconds > 0.0)) // also NaN
        return 0;
    if (seconds >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return int(seconds);
}

QString twoDigits(int v) { return v < 10 ? QStringLiteral("0%1").arg(v) : QString::number(v); }
} // namespace

QString LXCommon::drawTimeDescStr(double seconds) {
    int64_t ignored = 0;
    return drawTimeDescStrTotalSec(seconds, ignored);
}

QString LXCommon::drawTimeDescStrTotalSec(double seconds, int64_t &totalSec) {
    const int t = wholeSeconds(seconds);
    totalSec = t;
    if (t < 3600)
        return QString::asprintf("%02d:%02d", t / 60, t % 60);
    return QString::asprintf("%02d:%02d:%02d", t / 3600, (t % 3600) / 60, t % 60);
}

QString LXCommon::formatTimeDescStr(double seconds) {
    const int t = wholeSeconds(seconds);
    QString out;
    if (t >= 3600)
        out = (t < 36000 ? QStringLiteral("0%1:") : QStringLiteral("%1:")).arg(t / 3600);
    const int m = (t % 3600) / 60;
    const int s = t % 60;
    return out + twoDigits(m) + ":" + twoDigits(s);
}

QString LXCommon::timeStringFromTimeIntValueBShowMM(int64_t v, bool showHundredths) {
    if (v < 0)
        v = 0;
    const int64_t h = v / 360000;
    const int m = int((v / 6000) % 60);
    const int s = int((v / 100) % 60);
    const int c = int(v % 100);
    if (showHundredths)
        return QStringLiteral("%1:%2:%3.%4").arg(h).arg(twoDigits(m), twoDigits(s), twoDigits(c));
    return QStringLiteral("%1:%2:%3").arg(h).arg(twoDigits(m), twoDigits(s));
}
