#pragma once
// The named points of "smallest file at a quality", shared by the window and the command
// line: each is an SSIM the converted picture should measure against its source
// (SWConvertOption::setTargetSsim).
#include <QString>
#include <array>
#include <optional>

enum class SWQualityTarget { VisuallyLossless, Good, Small };

struct SWQualityTargetPoint {
    SWQualityTarget target;
    const char *key; // what the command line accepts and settings store
    double ssim;
};

inline constexpr std::array<SWQualityTargetPoint, 3> kQualityTargetPoints{{
    {SWQualityTarget::VisuallyLossless, "lossless", 0.99},
    {SWQualityTarget::Good, "good", 0.98},
    {SWQualityTarget::Small, "small", 0.96},
}};

// The SSIM values a target may take: below, the pictures are no longer worth keeping;
// above, no constant-rate factor tells the steps apart.
inline constexpr double kMinTargetSsim = 0.5;
inline constexpr double kMaxTargetSsim = 0.999;

inline double targetSsim(SWQualityTarget t) {
    for (const auto &p : kQualityTargetPoints)
        if (p.target == t)
            return p.ssim;
    return 0;
}

// A typed target: a named point's key or a number within the bounds; nothing otherwise.
inline std::optional<double> parseTargetSsim(const QString &typed) {
    for (const auto &p : kQualityTargetPoints)
        if (typed == QLatin1String(p.key))
            return p.ssim;
    bool ok = false;
    const double v = typed.toDouble(&ok);
    if (!ok || !(v >= kMinTargetSsim && v <= kMaxTargetSsim))
        return std::nullopt;
    return v;
}
