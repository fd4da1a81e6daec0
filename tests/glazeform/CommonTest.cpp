// Time texts and pop-up dismissal of LXCommon, and the geometry helper.
#include <glazeform/LXCommon.h>
#include <glazeform/LXGeometry.h>

#include <foundation/NotificationCenter.h>

#include <QWidget>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

TEST(LXCommonTime, MinutesBelowAnHourHoursFromAnHour) {
    EXPECT_EQ(LXCommon::drawTimeDescStr(59.9), "00:59");
    EXPECT_EQ(LXCommon::drawTimeDescStr(3599.99), "59:59");
    EXPECT_EQ(LXCommon::drawTimeDescStr(3600), "01:00:00");
    EXPECT_EQ(LXCommon::drawTimeDescStr(3725), "01:02:05");
    EXPECT_EQ(LXCommon::drawTimeDescStr(36000), "10:00:00");
    EXPECT_EQ(LXCommon::drawTimeDescStr(90), "01:30");
    int64_t total = -1;
    EXPECT_EQ(LXCommon::drawTimeDescStrTotalSec(5400.7, total), "01:30:00");
    EXPECT_EQ(total, 5400);
}

TEST(LXCommonTime, NonsenseInputsDoNotProduceNonsenseTexts) {
    int64_t total = -1;
    EXPECT_EQ(LXCommon::drawTimeDescStrTotalSec(-5.0, total), "00:00");
    EXPECT_EQ(total, 0);
    EXPECT_EQ(LXCommon::drawTimeDescStr(std::nan("")), "00:00");
    EXPECT_EQ(LXCommon::formatTimeDescStr(-1), "00:00");
    // Far beyond 32 bits: the largest representable time, not undefined behaviour.
    EXPECT_EQ(LXCommon::drawTimeDescStr(1e12), "596523:14:07");
}

TEST(LXCommonTime, PiecewiseFormatMatchesAndUnpadsLongHours) {
    for (double t : {0.0, 9.0, 61.0, 599.0, 3599.0, 3600.0, 3725.0, 35999.0})
        EXPECT_EQ(LXCommon::formatTimeDescStr(t), LXCommon::drawTimeDescStr(t)) << t;
    EXPECT_EQ(LXCommon::formatTimeDescStr(3661), "01:01:01");
    EXPECT_EQ(LXCommon::formatTimeDescStr(36000), "10:00:00");
    EXPECT_EQ(LXCommon::formatTimeDescStr(360000 + 61), "100:01:01");
}

TEST(LXCommonTime, ClockTextInHundredths) {
    EXPECT_EQ(LXCommon::timeStringFromTimeIntValueBShowMM(-20, false), "0:00:00");
    EXPECT_EQ(LXCommon::timeStringFromTimeIntValueBShowMM(-20, true), "0:00:00.00");
    // One hour, one minute and 1.5 seconds.
    EXPECT_EQ(LXCommon::timeStringFromTimeIntValueBShowMM(360000 + 6000 + 150, true), "1:01:01.50");
    EXPECT_EQ(LXCommon::timeStringFromTimeIntValueBShowMM(360000 + 6000 + 150, false), "1:01:01");
    EXPECT_EQ(LXCommon::timeStringFromTimeIntValueBShowMM(4500, true), "0:00:45.00");
    EXPECT_EQ(LXCommon::timeStringFromTimeIntValueBShowMM(12 * 360000 + 59 * 6000 + 59 * 100 + 9, true), "12:59:59.09");
}

TEST(LXCommonPopup, PostsTheDismissalNotificationWithoutInformation) {
    QObject ctx;
    int calls = 0;
    QVariantMap info{{"x", 1}};
    foundation::NotificationCenter::defaultCenter().addObserver(&ctx, "popupDownMenuItemKey",
                                                                [&](const QString &, const QVariantMap &i) {
                                                                    ++calls;
                                                                    info = i;
                                                                });
    LXCommon::popupDownMenu();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(info.isEmpty());
}

TEST(LXGeometryTest, LowerLeftFramesBecomeQtGeometryAndStayAnchoredToTheBottom) {
    QWidget parent;
    parent.resize(412, 58);
    parent.show();
    // The job row's delete button: (388, 15) in a 58-high row, 16 x 16.
    EXPECT_EQ(LXGeometry::qtRect(QRectF(388, 15, 16, 16), 58), QRect(388, 27, 16, 16));
    EXPECT_EQ(LXGeometry::flipRect(LXGeometry::flipRect(QRectF(1.5, 2, 3, 4), 20), 20), QRectF(1.5, 2, 3, 4));
    auto *child = new QWidget(&parent);
    LXGeometry::place(child, QRectF(96, 36, 276, 18));
    EXPECT_EQ(child->geometry(), QRect(96, 4, 276, 18));
    EXPECT_EQ(LXGeometry::frameOf(child), QRectF(96, 36, 276, 18));
    parent.resize(412, 100);
    EXPECT_EQ(child->geometry(), QRect(96, 46, 276, 18));
}

TEST(LXGeometryTest, ScreenPointsRoundTrip) {
    const QSizeF screen = LXGeometry::mainScreenSize();
    const QRectF bar((screen.width() - 603) / 2, 59, 603, 59);
    const QRectF q = LXGeometry::screenToQt(bar);
    EXPECT_DOUBLE_EQ(q.bottom(), screen.height() - 59);
    EXPECT_EQ(LXGeometry::qtToScreen(q), bar);
    EXPECT_EQ(LXGeometry::screenPointFromQt(LXGeometry::qtPointFromScreen({10, 20})), QPointF(10, 20));
}
