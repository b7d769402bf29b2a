// Skinned controls: the button's outline from its mask and the clicks it takes, check state, the
// slider's geometry, mouse and key rules and its notifications.
#include "OpenTestApp.h"
#include "ui/widgets/SkinButton.h"
#include "ui/widgets/OffscreenCanvas.h"
#include "ui/widgets/SkinSlider.h"
#include "ui/widgets/SkinText.h"
#include "ui/widgets/SkinBitmaps.h"

#include <QApplication>
#include <QKeySequence>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {
QApplication& app() {
    return *ensureTestApp();
}

QPixmap solid(int w, int h, QColor c) {
    QPixmap pm(w, h);
    pm.fill(c);
    return pm;
}
} // namespace

TEST(SkinButton, MaskRegionIsTheRunsOfNonWhitePixels) {
    app();
    QImage mask(10, 3, QImage::Format_RGB32);
    mask.fill(Qt::white);
    for (int x = 2; x < 5; ++x)
        mask.setPixel(x, 0, qRgb(0, 0, 0));
    mask.setPixel(7, 0, qRgb(254, 255, 255)); // nearly white is still inside
    mask.setPixel(0, 2, qRgb(10, 20, 30));
    const QRegion r = SkinButton::regionFromMask(mask);
    EXPECT_EQ(r, QRegion(2, 0, 3, 1) + QRegion(7, 0, 1, 1) + QRegion(0, 2, 1, 1));

    QImage white(8, 8, QImage::Format_RGB32);
    white.fill(Qt::white);
    EXPECT_TRUE(SkinButton::regionFromMask(white).isEmpty());
}

TEST(SkinButton, WhitePartsOfTheMaskTakeNoClicks) {
    app();
    SkinButton b;
    QImage mask(40, 20, QImage::Format_RGB32);
    mask.fill(Qt::white);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            mask.setPixel(x, y, qRgb(0, 0, 0)); // left half only
    b.setBitmaps(solid(40, 20, Qt::darkGray), solid(40, 20, Qt::blue), solid(40, 20, Qt::gray), {}, {}, mask);
    EXPECT_EQ(b.size(), QSize(40, 20));
    b.show();
    QSignalSpy clicked(&b, &QAbstractButton::clicked);
    QTest::mouseClick(&b, Qt::LeftButton, {}, QPoint(30, 10));
    EXPECT_EQ(clicked.count(), 0);
    QTest::mouseClick(&b, Qt::LeftButton, {}, QPoint(5, 10));
    EXPECT_EQ(clicked.count(), 1);

    // An all-white mask leaves a button that cannot be clicked at all.
    QImage white(40, 20, QImage::Format_RGB32);
    white.fill(Qt::white);
    b.setBitmaps(solid(40, 20, Qt::darkGray), {}, {}, {}, {}, white);
    QTest::mouseClick(&b, Qt::LeftButton, {}, QPoint(5, 10));
    EXPECT_EQ(clicked.count(), 1);
}

TEST(SkinButton, CheckStateShowsThePressedBitmapUntilCleared) {
    app();
    SkinButton b;
    b.setBitmaps(solid(20, 10, Qt::red), solid(20, 10, Qt::green), solid(20, 10, Qt::blue));
    auto centre = [&] { return b.grab().toImage().pixelColor(10, 5); };
    EXPECT_EQ(centre(), QColor(Qt::red));
    b.setCheck(true);
    EXPECT_TRUE(b.getCheck());
    EXPECT_EQ(centre(), QColor(Qt::green));
    b.clearCheck();
    EXPECT_FALSE(b.getCheck());
    EXPECT_EQ(centre(), QColor(Qt::red));
    // Disabled without a disabled bitmap: the normal one serves.
    b.setEnabled(false);
    EXPECT_EQ(centre(), QColor(Qt::red));
    // The shipped drive-dialog bitmaps load by number.
    EXPECT_EQ(LoadSkinBitmap(380).size(), QSize(158, 36));
    EXPECT_TRUE(LoadSkinBitmap(0).isNull());
}

TEST(SkinSlider, GeometryMovesTwoPixelsPerStepOnA200PixelTrack) {
    app();
    SkinSlider s(nullptr, 77);
    s.setBitmaps(solid(210, 12, Qt::blue), solid(210, 12, Qt::gray));
    s.setThumbSize(10, 12);
    EXPECT_EQ(s.size(), QSize(210, 12));
    EXPECT_EQ(s.trackLength(), 200);
    EXPECT_EQ(s.pixelOfPosition(0), 5);
    EXPECT_EQ(s.pixelOfPosition(1), 7);
    EXPECT_EQ(s.pixelOfPosition(100), 205);
    EXPECT_EQ(s.positionOfPixel(105), 50);
    s.setPos(150);
    EXPECT_EQ(s.getPos(), 100);
    s.setPos(-3);
    EXPECT_EQ(s.getPos(), 0);
    // A degenerate range or track never divides by zero.
    s.setRange(5, 5);
    EXPECT_EQ(s.pixelOfPosition(5), 5);
    s.setThumbSize(210, 12);
    EXPECT_EQ(s.positionOfPixel(50), 5);
}

TEST(SkinSlider, KeysStepClampAndNotify) {
    app();
    SkinSlider s(nullptr, 9);
    s.setBitmaps(solid(110, 10, Qt::blue), solid(110, 10, Qt::gray));
    s.setThumbSize(10, 10);
    QSignalSpy spy(&s, &SkinSlider::notify);
    s.setPos(95);
    QTest::keyClick(&s, Qt::Key_PageDown);
    EXPECT_EQ(s.getPos(), 100);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy[0][0].toInt(), SkinSlider::Changed);
    EXPECT_EQ(spy[0][0].toInt(), 0x28D2);
    EXPECT_EQ(spy[0][1].toInt(), 9);
    EXPECT_EQ(spy[0][2].toInt(), 100);
    // Each key moves the thumb on from where the key before left it.
    const std::pair<Qt::Key, int> keys[] = {
        {Qt::Key_Home, 0}, {Qt::Key_Up, 0}, {Qt::Key_Down, 1}, {Qt::Key_End, 100}, {Qt::Key_PageUp, 80}};
    for (const auto& [key, pos] : keys) {
        QTest::keyClick(&s, key);
        EXPECT_EQ(s.getPos(), pos) << QKeySequence(key).toString().toStdString();
    }
    s.setEnabledState(false);
    QTest::keyClick(&s, Qt::Key_Home);
    EXPECT_EQ(s.getPos(), 80);
}

TEST(SkinSlider, DragKeepsTheGrabOffsetAndReportsWhileMovingAndAtTheEnd) {
    app();
    SkinSlider s(nullptr, 3);
    s.setBitmaps(solid(210, 12, Qt::blue), solid(210, 12, Qt::gray));
    s.setThumbSize(10, 12);
    s.setPos(50); // thumb centre at 105
    s.show();
    QSignalSpy spy(&s, &SkinSlider::notify);
    // A click exactly on the thumb centre grabs it there: nothing moves yet.
    QTest::mousePress(&s, Qt::LeftButton, {}, QPoint(105, 6));
    EXPECT_TRUE(s.isDragging());
    EXPECT_EQ(s.grabOffset(), 0);
    EXPECT_EQ(spy.count(), 0);
    QTest::mouseMove(&s, QPoint(125, 6));
    EXPECT_EQ(s.getPos(), 60);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy[0][0].toInt(), 0x28D1);
    QTest::mouseRelease(&s, Qt::LeftButton, {}, QPoint(125, 6));
    EXPECT_FALSE(s.isDragging());
    EXPECT_EQ(spy.last()[0].toInt(), 0x28D2);
    EXPECT_EQ(spy.last()[2].toInt(), 60);

    // A click 3 pixels right of the centre keeps that offset; beside the thumb it centres it.
    QTest::mousePress(&s, Qt::LeftButton, {}, QPoint(128, 6));
    EXPECT_EQ(s.grabOffset(), 3);
    QTest::mouseRelease(&s, Qt::LeftButton, {}, QPoint(128, 6));
    QTest::mousePress(&s, Qt::LeftButton, {}, QPoint(25, 6));
    EXPECT_EQ(s.grabOffset(), 0);
    EXPECT_EQ(s.getPos(), 10);
    // Dragging past the end stops at the maximum.
    QTest::mouseMove(&s, QPoint(400, 6));
    EXPECT_EQ(s.getPos(), 100);
    QTest::mouseRelease(&s, Qt::LeftButton, {}, QPoint(400, 6));
}

TEST(SkinText, DrawsOverTheCapturedBackground) {
    app();
    QWidget parent;
    parent.resize(100, 40);
    SkinText t(&parent);
    t.setGeometry(10, 10, 60, 20);
    QPixmap picture(100, 40);
    picture.fill(Qt::black);
    QPainter(&picture).fillRect(10, 10, 60, 20, QColor(0, 128, 0));
    t.captureBackground(picture);
    t.setTextColor(Qt::white);
    t.setText("Speed");
    const QImage img = t.grab().toImage();
    EXPECT_EQ(img.pixelColor(59, 19), QColor(0, 128, 0));
    bool white = false;
    for (int y = 0; y < 20 && !white; ++y)
        for (int x = 0; x < 40 && !white; ++x)
            white = img.pixelColor(x, y).lightness() > 200;
    EXPECT_TRUE(white);
}

TEST(OffscreenCanvas, CopiesToTheTargetWhenDone) {
    app();
    QImage target(20, 20, QImage::Format_RGB32);
    target.fill(Qt::red);
    {
        QPainter p(&target);
        OffscreenCanvas mem(p, QRect(5, 5, 10, 10), true);
        EXPECT_TRUE(mem.isMemory());
        mem.painter().fillRect(QRect(5, 5, 5, 10), Qt::blue);
        EXPECT_EQ(target.pixelColor(6, 6), QColor(Qt::red)); // nothing reaches the target yet
    }
    EXPECT_EQ(target.pixelColor(6, 6), QColor(Qt::blue));
    EXPECT_EQ(target.pixelColor(12, 12), QColor(Qt::red)); // copied background
    EXPECT_EQ(target.pixelColor(2, 2), QColor(Qt::red));
}
