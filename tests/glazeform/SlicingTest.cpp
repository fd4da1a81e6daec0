// Slicing arithmetic of the picture operations and what they actually paint.
#include <glazeform/LXImage.h>

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

std::vector<LXSlicePiece> row(const std::vector<LXSlicePiece> &pieces, double targetY) {
    std::vector<LXSlicePiece> out;
    for (const auto &p : pieces)
        if (p.target.y() == targetY)
            out.push_back(p);
    return out;
}

// A picture whose bottom, middle and top thirds have different colours (Qt rows: top first).
QPixmap banded(int w, int h, QColor top, QColor mid, QColor bottom) {
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y) {
        const QColor c = y < h / 3 ? top : (y < 2 * h / 3 ? mid : bottom);
        for (int x = 0; x < w; ++x)
            img.setPixelColor(x, y, c);
    }
    return QPixmap::fromImage(img);
}

} // namespace

TEST(Slicing, NineSliceOfThirtySquareOverHundredByForty) {
    const auto pieces = LXImage::viewFramePieces({30, 30}, {100, 40});
    // Bottom row: a corner, eight tiles and a right corner of width 10.
    const auto bottom = row(pieces, 0);
    ASSERT_EQ(bottom.size(), 10u);
    EXPECT_EQ(bottom.front(), (LXSlicePiece{QRectF(0, 0, 10, 10), QRectF(0, 0, 10, 10)}));
    for (int i = 1; i <= 8; ++i)
        EXPECT_EQ(bottom[i], (LXSlicePiece{QRectF(10, 0, 10, 10), QRectF(10.0 * i, 0, 10, 10)})) << i;
    EXPECT_EQ(bottom.back(), (LXSlicePiece{QRectF(20, 0, 10, 10), QRectF(90, 0, 10, 10)}));
    // The middle band, drawn twice from the picture's middle row.
    for (double y : {10.0, 20.0}) {
        const auto band = row(pieces, y);
        ASSERT_EQ(band.size(), 10u) << y;
        for (const auto &p : band)
            EXPECT_EQ(p.source.y(), 10) << y;
    }
    // Top row: the picture's top 10 rows at y 30.
    const auto top = row(pieces, 30);
    ASSERT_EQ(top.size(), 10u);
    for (const auto &p : top) {
        EXPECT_EQ(p.source.y(), 20);
        EXPECT_EQ(p.target.height(), 10);
    }
    EXPECT_EQ(pieces.size(), 40u);
}

TEST(Slicing, AxisAlwaysShowsBothCapsAndATileAndCoversTheFrame) {
    // Frames of at least 9 points no larger than the picture: exactly cap, tile, cap.
    for (float frame : {9.f, 10.f, 17.f, 29.f, 30.f}) {
        const auto segs = LXImage::sliceAxis(30, frame);
        ASSERT_EQ(segs.size(), 3u) << frame;
        EXPECT_EQ(segs[0].sourceStart, 0) << frame;
        EXPECT_EQ(segs[2].sourceStart + segs[2].sourceLength, 30.f) << frame;
    }
    // Any slice of at least one point: pieces tile the frame without gaps or overlap.
    for (float picture : {3.f, 7.f, 30.f, 61.f})
        for (float frame : {3.f, 5.5f, 40.f, 99.f, 1000.f}) {
            const auto segs = LXImage::sliceAxis(picture, frame);
            ASSERT_GE(segs.size(), 3u) << picture << " " << frame;
            float at = 0;
            for (const auto &s : segs) {
                EXPECT_FLOAT_EQ(s.targetStart, at) << picture << " " << frame;
                EXPECT_EQ(s.sourceLength, s.targetLength);
                EXPECT_GE(s.sourceStart, 0.f);
                EXPECT_LE(s.sourceStart + s.sourceLength, picture + 1e-4f);
                at += s.targetLength;
            }
            EXPECT_FLOAT_EQ(at, frame) << picture << " " << frame;
        }
}

TEST(Slicing, ThreeSliceKeepsTheOtherAxisAndTakesThePicturesLeftPart) {
    // 12 x 30 picture into a 20 x 100 frame along the height: width 12 drawn, 10-point slices.
    const auto pieces = LXImage::constWidthPieces({12, 30}, {20, 100});
    ASSERT_EQ(pieces.size(), 10u); // cap, 8 tiles, cap
    for (const auto &p : pieces) {
        EXPECT_EQ(p.target.x(), 0);
        EXPECT_EQ(p.target.width(), 12);
        EXPECT_EQ(p.source.width(), 12);
    }
    EXPECT_EQ(pieces.back().target, QRectF(0, 90, 12, 10));
    EXPECT_EQ(pieces.back().source, QRectF(0, 20, 12, 10));
    // A frame narrower than the picture uses the picture's left part only.
    const auto narrow = LXImage::constWidthPieces({12, 30}, {5, 30});
    EXPECT_EQ(narrow.front().source, QRectF(0, 0, 5, 10));
    // Along the width: heights limited the same way.
    const auto wide = LXImage::constHeightPieces({30, 12}, {45, 8});
    ASSERT_EQ(wide.size(), 4u); // s = 10: cap, tiles at 10 and 20, top cap of 15
    EXPECT_EQ(wide.back().target, QRectF(30, 0, 15, 8));
    EXPECT_EQ(wide.back().source, QRectF(15, 0, 15, 8));
}

TEST(Slicing, TinyPicturesAndFramesAreStretchedInsteadOfTiledForEver) {
    const auto segs = LXImage::sliceAxis(2, 500);
    ASSERT_EQ(segs.size(), 1u);
    EXPECT_EQ(segs[0].targetLength, 500);
    EXPECT_EQ(segs[0].sourceLength, 2);
    EXPECT_EQ(LXImage::sliceAxis(30, 2).size(), 1u);
    EXPECT_TRUE(LXImage::sliceAxis(0, 50).empty());
    EXPECT_TRUE(LXImage::viewFramePieces({30, 30}, {0, 40}).empty());
}

TEST(Slicing, DrawingKeepsThePictureUpright) {
    // Bottom third green, top third red: stretched to 60 x 90, the frame's bottom rows must
    // be green and its top rows red; the middle band repeats the blue middle.
    const QPixmap pic = banded(30, 30, Qt::red, Qt::blue, Qt::green);
    QImage out(60, 90, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    {
        QPainter p(&out);
        LXImage::drawAtViewFrame(p, pic, QRectF(0, 0, 60, 90));
    }
    EXPECT_EQ(out.pixelColor(30, 88), QColor(Qt::green));
    EXPECT_EQ(out.pixelColor(30, 1), QColor(Qt::red));
    EXPECT_EQ(out.pixelColor(30, 45), QColor(Qt::blue));
    EXPECT_EQ(out.pixelColor(59, 60), QColor(Qt::blue));
}

TEST(Slicing, CenteredPictureAndEmptyPicture) {
    EXPECT_EQ(LXImage::centerRect({10, 6}, QRectF(5, 5, 30, 20)), QRectF(15, 12, 10, 6));
    QImage out(20, 20, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::white);
    {
        QPainter p(&out);
        LXImage::drawCenterAtFrame(p, QPixmap(), QRectF(0, 0, 20, 20));
        LXImage::drawCenterAtFrame(p, banded(6, 6, Qt::red, Qt::red, Qt::red), QRectF(0, 0, 20, 20));
    }
    EXPECT_EQ(out.pixelColor(0, 0), QColor(Qt::white));
    EXPECT_EQ(out.pixelColor(7, 7), QColor(Qt::red));
    EXPECT_EQ(out.pixelColor(12, 12), QColor(Qt::red));
    EXPECT_EQ(out.pixelColor(13, 13), QColor(Qt::white));
}

TEST(Slicing, RoundedCopyClipsCornersAndKeepsSizeAndRatio) {
    QPixmap pic = banded(40, 40, Qt::red, Qt::red, Qt::red);
    pic.setDevicePixelRatio(2.0);
    const QPixmap r = LXImage::roundCornersImageCornerRadius(pic, 8);
    EXPECT_EQ(r.size(), pic.size());
    EXPECT_EQ(r.devicePixelRatio(), 2.0);
    const QImage img = r.toImage();
    EXPECT_EQ(img.pixelColor(0, 0).alpha(), 0);
    EXPECT_EQ(img.pixelColor(39, 39).alpha(), 0);
    EXPECT_EQ(img.pixelColor(20, 20), QColor(Qt::red));
    EXPECT_EQ(img.pixelColor(20, 0), QColor(Qt::red));
    EXPECT_TRUE(LXImage::roundCornersImageCornerRadius(QPixmap(), 4).isNull());
}
