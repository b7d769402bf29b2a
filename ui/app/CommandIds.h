// Numbers shared by the main window, the command dispatcher, the keyboard and the panels: window
// command ids, the user messages panels and lists send to the main window, and the timer ids.
#pragma once

// Window commands (buttons of the window, keyboard, skin commands that reuse them).
constexpr int kCmdMinimise = 1000;
constexpr int kCmdClose = 1001;
constexpr int kCmdPrevious = 1005; // open the previous recording of the kind filter
constexpr int kCmdPlayPause = 1006;
constexpr int kCmdStop = 1007;        // stop and return to idle
constexpr int kCmdNext = 1008;        // open the next recording of the kind filter
constexpr int kCmdStepBack = 1009;    // two seconds back
constexpr int kCmdStepForward = 1010; // one second forward
constexpr int kCmdOpenSource = 1012;  // choose a card or folder and list its recordings
constexpr int kCmdSnapshot = 1017;
constexpr int kCmdFormat = 1019;
constexpr int kCmdChangeView = 1097;     // view option 0x20
constexpr int kCmdGsensorWindows = 1098; // the two floating G-sensor windows
constexpr int kCmdViewOption40 = 1099;   // view option 0x40
constexpr int kCmdFlip = 1110;
constexpr int kCmdMirror = 1111;
constexpr int kCmdCopy = 1114; // scrambled copy of the checked recordings
constexpr int kCmdQuickSettings = 1115;
constexpr int kCmdZoom = 1121;
constexpr int kCmdCollectView = 1122; // view option 0x10
constexpr int kCmdTripleView = 1123;  // three-state view value
constexpr int kCmdMerge = 1124;
constexpr int kCmdCaptionClose = 1241;
constexpr int kCmdCaptionMinimise = 1242;
constexpr int kCmdCaptionMaximise = 1243;

// Skin commands whose work has no window command id of its own.
constexpr int kCmdPrint = 2001;
constexpr int kCmdSetup = 2002;       // camera-setup window
constexpr int kCmdConvert = 2003;     // convert checked recordings to AVI
constexpr int kCmdDownload = 2004;    // copy checked recordings to the PC
constexpr int kCmdMapSetting = 2005;  // map selection dialog
constexpr int kCmdEventLog = 2006;    // event log to CSV
constexpr int kCmdDeleteFiles = 2007; // checked recordings to the trash
constexpr int kCmdSearch = 2008;      // search window
constexpr int kCmdCheckClear = 2009;  // clear the check state of every row
constexpr int kCmdGpx = 2010;         // GPS track of the checked or open recording as GPX

// User messages to the main window (the value travels as the command's argument).
constexpr int kMsgDockScreen = 0x401;
constexpr int kMsgDockGsensor = 0x402;
constexpr int kMsgDockSpeed = 0x403;
constexpr int kMsgDockMap = 0x404;
constexpr int kMsgScreenResized = 0x412;
constexpr int kMsgSeek = 0x413;    // position in ms
constexpr int kMsgOpenRow = 0x414; // list row index
constexpr int kMsgCheckAll = 0x415;
constexpr int kMsgUncheckAll = 0x416;
constexpr int kMsgCheckRow = 0x417;   // list row index
constexpr int kMsgUncheckRow = 0x418; // list row index
constexpr int kMsgTabChosen = 0x419;  // 0 search, 1..4 kind, 5 map
constexpr int kMsgOpenNow = 0x41A;    // busy window: the deferred open may run; job code
constexpr int kMsgDockAccelerometer = 0x41B;
constexpr int kMsgDriveChange = 0x500;
constexpr int kMsgFloatingChanged = 0x501; // 1 G-sensor windows, 2 zoom window
constexpr int kMsgDeleteFiles = 0xD99;

// Timers of the main window.
constexpr int kTimerClock = 257;       // playback clock, 100 ms
constexpr int kTimerDelayedOpen = 258; // 1 ms (open now) or 1000 ms (next after the end)
