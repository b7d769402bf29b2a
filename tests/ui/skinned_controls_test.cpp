// Skinned controls: the button's outline from its mask and the clicks it takes, check state, the
// slider's geometry, mouse and key rules and its notifications.
#include "OpenTestApp.h"
#include "ui/controls/CWBCButton.h"
#include "ui/controls/CWBCMemDC.h"
#include "ui/controls/CWBCSlider.h"
#include "ui/controls/CWBCText.h"
#include "ui/controls/SkinBitmaps.h"

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

TEST(CWBCButton, MaskRegionIsTheRunsOfNonWhitePixels) {
    app();
    QImage mask(10, 3, QImage::Format_RGB32);
    mask.fill(Qt::white);
    for (int x = 2; x < 5; ++x)
        mask.setPixel(x, 0, qRgb(0, 0, 0));
    mask.setPixel(7, 0, qRgb(254, 255, 255)); // nearly white is still inside
    mask.setPixel(0, 2, qRgb(10, 20, 30));
    const QRegion r = CWBCButton::RegionFromMask(mask);
    EXPECT_EQ(r, QRegion(2, 0, 3, 1) + QRegion(7, 0, 1, 1) + QRegion(0, 2, 1, 1));

    QImage white(8, 8, QImage::Format_RGB32);
    white.fill(Qt::white);
    EXPECT_TRUE(CWBCButton::RegionFromMask(white).isEmpty());
}

TEST(CWBCButton, WhitePartsOfTheMaskTakeNoClicks) {
    app();
    CWBCButton b;
    QImage mask(40, 20, QImage::Format_RGB32);
    mask.fill(Qt::white);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            mask.setPixel(x, y, qRgb(0, 0, 0)); // left half only
    b.SetBitmaps(solid(40, 20, Qt::darkGray), solid(40, 20, Qt::blue), solid(40, 20, Qt::gray), {}, {}, mask);
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
    b.SetBitmaps(solid(40, 20, Qt::darkGray), {}, {}, {}, {}, white);
    QTest::mouseClick(&b, Qt::LeftButton, {}, QPoint(5, 10));
    EXPECT_EQ(clicked.count(), 1);
}

TEST(CWBCButton, CheckStateShowsThePressedBitmapUntilCleared) {
    app();
    CWBCButton b;
    b.SetBitmaps(solid(20, 10, Qt::red), solid(20, 10, Qt::green), solid(20, 10, Qt::blue));
    auto centre = [&] { return b.grab().toImage().pixelColor(10, 5); };
    EXPECT_EQ(centre(), QColor(Qt::red));
    b.SetCheck(true);
    EXPECT_TRUE(b.GetCheck());
    EXPECT_EQ(centre(), QColor(Qt::green));
    b.ClearCheck();
    EXPECT_FALSE(b.GetCheck());
    EXPECT_EQ(centre(), QColor(Qt::red));
    // Disabled without a disabled bitmap: the normal one serves.
    b.setEnabled(false);
    EXPECT_EQ(centre(), QColor(Qt::red));
    // The shipped drive-dialog bitmaps load by number.
    EXPECT_EQ(LoadSkinBitmap(380).size(), QSize(158, 36));
    EXPECT_TRUE(LoadSkinBitmap(0).isNull());
}

TEST(CWBCSlider, GeometryMovesTwoPixelsPerStepOnA200PixelTrack) {
    app();
    CWBCSlider s(nullptr, 77);
    s.SetBitmaps(solid(210, 12, Qt::blue), solid(210, 12, Qt::gray));
    s.SetThumbSize(10, 12);
    EXPECT_EQ(s.size(), QSize(210, 12));
    EXPECT_EQ(s.TrackLength(), 200);
    EXPECT_EQ(s.PixelOfPosition(0), 5);
    EXPECT_EQ(s.PixelOfPosition(1), 7);
    EXPECT_EQ(s.PixelOfPosition(100), 205);
    EXPECT_EQ(s.PositionOfPixel(105), 50);
    s.SetPos(150);
    EXPECT_EQ(s.GetPos(), 100);
    s.SetPos(-3);
    EXPECT_EQ(s.GetPos(), 0);
    // A degenerate range or track never divides by zero.
    s.SetRange(5, 5);
    EXPECT_EQ(s.PixelOfPosition(5), 5);
    s.SetThumbSize(210, 12);
    EXPECT_EQ(s.PositionOfPixel(50), 5);
}

TEST(CWBCSlider, KeysStepClampAndNotify) {
    app();
    CWBCSlider s(nullptr, 9);
    s.SetBitmaps(solid(110, 10, Qt::blue), solid(110, 10, Qt::gray));
    s.SetThumbSize(10, 10);
    QSignalSpy spy(&s, &CWBCSlider::notify);
    s.SetPos(95);
    QTest::keyClick(&s, Qt::Key_PageDown);
    EXPECT_EQ(s.GetPos(), 100);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy[0][0].toInt(), CWBCSlider::kMsgSliderChanged);
    EXPECT_EQ(spy[0][0].toInt(), 0x28D2);
    EXPECT_EQ(spy[0][1].toInt(), 9);
    EXPECT_EQ(spy[0][2].toInt(), 100);
    // Each key moves the thumb on from where the key before left it.
    const std::pair<Qt::Key, int> keys[] = {
        {Qt::Key_Home, 0}, {Qt::Key_Up, 0}, {Qt::Key_Down, 1}, {Qt::Key_End, 100}, {Qt::Key_PageUp, 80}};
    for (const auto& [key, pos] : keys) {
        QTest::keyClick(&s, key);
        EXPECT_EQ(s.GetPos(), pos) << QKeySequence(key).toString().toStdString();
    }
    s.SetEnabledState(false);
    QTest::keyClick(&s, Qt::Key_Home);
    EXPECT_EQ(s.GetPos(), 80);
}

TEST(CWBCSlider, DragKeepsTheGrabOffsetAndReportsWhileMovingAndAtTheEnd) {
    app();
    CWBCSlider s(nullptr, 3);
    s.SetBitmaps(solid(210, 12, Qt::blue), solid(210, 12, Qt::gray));
    s.SetThumbSize(10, 12);
    s.SetPos(50); // thumb centre at 105
    s.show();
    QSignalSpy spy(&s, &CWBCSlider::notify);
    // A click exactly on the thumb centre grabs it there: nothing moves yet.
    QTest::mousePress(&s, Qt::LeftButton, {}, QPoint(105, 6));
    EXPECT_TRUE(s.IsDragging());
    EXPECT_EQ(s.GrabOffset(), 0);
    EXPECT_EQ(spy.count(), 0);
    QTest::mouseMove(&s, QPoint(125, 6));
    EXPECT_EQ(s.GetPos(), 60);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy[0][0].toInt(), 0x28D1);
    QTest::mouseRelease(&s, Qt::LeftButton, {}, QPoint(125, 6));
    EXPECT_FALSE(s.IsDragging());
    EXPECT_EQ(spy.last()[0].toInt(), 0x28D2);
    EXPECT_EQ(spy.last()[2].toInt(), 60);

    // A click 3 pixels right of the centre keeps that offset; beside the thumb it centres it.
    QTest::mousePress(&s, Qt::LeftButton, {}, QPoint(128, 6));
    EXPECT_EQ(s.GrabOffset(), 3);
    QTest::mouseRelease(&s, Qt::LeftButton, {}, QPoint(128, 6));
    QTest::mousePress(&s, Qt::LeftButton, {}, QPoint(25, 6));
    EXPECT_EQ(s.GrabOffset(), 0);
    EXPECT_EQ(s.GetPos(), 10);
    // Dragging past the end stops at the maximum.
    QTest::mouseMove(&s, QPoint(400, 6));
    EXPECT_EQ(s.GetPos(), 100);
    QTest::mouseRelease(&s, Qt::LeftButton, {}, QPoint(400, 6));
}

TEST(CWBCText, DrawsOverTheCapturedBackground) {
    app();
    QWidget parent;
    parent.resize(100, 40);
    CWBCText t(&parent);
    t.setGeometry(10, 10, 60, 20);
    QPixmap picture(100, 40);
    picture.fill(Qt::black);
    QPainter(&picture).fillRect(10, 10, 60, 20, QColor(0, 128, 0));
    t.CaptureBackground(picture);
    t.SetTextColor(Qt::white);
    t.SetText("Speed");
    const QImage img = t.grab().toImage();
    EXPECT_EQ(img.pixelColor(59, 19), QColor(0, 128, 0));
    bool white = false;
    for (int y = 0; y < 20 && !white; ++y)
        for (int x = 0; x < 40 && !white; ++x)
            white = img.pixelColor(x, y).lightness() > 200;
    EXPECT_TRUE(white);
}

TEST(CWBCMemDC, CopiesToTheTargetWhenDone) {
    app();
    QImage target(20, 20, QImage::Format_RGB32);
    target.fill(Qt::red);
    {
        QPainter p(&target);
        CWBCMemDC mem(p, QRect(5, 5, 10, 10), true);
        EXPECT_TRUE(mem.isMemory());
        mem.painter().fillRect(QRect(5, 5, 5, 10), Qt::blue);
        EXPECT_EQ(target.pixelColor(6, 6), QColor(Qt::red)); // nothing reaches the target yet
    }
    EXPECT_EQ(target.pixelColor(6, 6), QColor(Qt::blue));
    EXPECT_EQ(target.pixelColor(12, 12), QColor(Qt::red)); // copied background
    EXPECT_EQ(target.pixelColor(2, 2), QColor(Qt::red));
}
