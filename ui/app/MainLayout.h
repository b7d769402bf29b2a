// Geometry of the main window: where every docked child goes, the edge/title hit test and the
// caption buttons. Pure functions of the client size and the docking state, used by MainWindow.
#pragma once

#include "ui/common/WindowMetrics.h"

#include <QPoint>
#include <QRect>
#include <QSize>

#include <array>

// What the layout depends on besides the client size.
struct LayoutInput {
    QSize client;            // client width W and height H
    int scrollBarWidth = 15; // the style's vertical scroll bar width (sb)
    bool mapShown = false;   // map display switched on
    bool engineOpen = false; // a recording is open (an engine exists)
    int channelCount = 0;    // channels of the open recording
    std::array<bool, 4> screenDocked{true, true, true, true};
    bool gsensorDocked = true;
    bool accelerometerDocked = true;
    bool speedDocked = true;
    bool mapDocked = true;
    int mainScreen = 0;     // channel shown in the main cell; the others follow in order
    bool mainLarge = false; // the main channel large, the others small (else an equal grid)
};

// Result of LayoutPanels. Rectangles of floating children are left null (not moved).
struct MainLayout {
    int a = 0;                    // column width (W - 342) / 2
    int hh = 0;                   // half height (H - 138) / 2
    int hb = 0;                   // cell height hh - 4
    int dx = 0;                   // horizontal shrink of the 16:9 video cells
    int dy = 0;                   // vertical slack of the 16:9 video cells
    int vw = 0;                   // video cell width
    int vh = 0;                   // video cell height
    int rightX = 0;               // right column x = 2a + 6
    int rightWidth = 0;           // right column width RW
    QRect browser;                // main skin page
    std::array<QRect, 4> screens; // per channel; screen 3 is always the empty rectangle at (0, 0)
    QRect fileMenu;               // kind tabs
    QRect fileList;
    QRect listScrollBar;
    QRect accelerometer;
    QRect gsensor;
    QRect speed;
    QRect map;
    QRect closeButton;
    QRect maximiseButton;
    QRect minimiseButton;
};

MainLayout layoutPanels(const LayoutInput& in);

// Caption buttons: 38 x 33 at y = 0; close at W - 35, maximise at W - 65, minimise at W - 95.
void placeCaptionButtons(int clientWidth, MainLayout& out);

// Answer of the hit test, the Linux stand-in for the frame's non-client hit codes.
enum class WindowHit {
    Client, // default processing: the point belongs to whatever child is there
    Caption,
    Left,
    Right,
    Top,
    Bottom,
    TopLeft,
    TopRight,
    BottomLeft,
    BottomRight,
};

constexpr int kResizeBand = 3; // pixels of the resize edges
constexpr int kMinWidth = 1200;
constexpr int kMinHeight = 628;

// `pos` in client coordinates. While maximised everything is Client (no move, no resize).
WindowHit hitTestWindow(QPoint pos, QSize client, bool maximised);
