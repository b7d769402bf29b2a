// Numbers of the messages the recording list and its tab strip send to the main window: 0x414 open
// row, 0x415/0x416 select-all set/cleared, 0x417/0x418 row box set/cleared, 0x419 tab chosen.
#pragma once

constexpr int kMsgOpenRow = 0x414; // list row index
constexpr int kMsgCheckAll = 0x415;
constexpr int kMsgUncheckAll = 0x416;
constexpr int kMsgCheckRow = 0x417;   // list row index
constexpr int kMsgUncheckRow = 0x418; // list row index
constexpr int kMsgTabChosen = 0x419;  // 0 search, 1..4 kind, 5 map
