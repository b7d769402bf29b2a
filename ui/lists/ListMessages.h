// Numbers of the messages the recording list and its tab strip send to the main window.
#pragma once

inline constexpr int kMsgOpenRow = 0x414;     // a row was chosen (also the search page's choice); entry
inline constexpr int kMsgCheckAll = 0x415;    // select-all box set
inline constexpr int kMsgUncheckAll = 0x416;  // select-all box cleared
inline constexpr int kMsgCheckRow = 0x417;    // a row's box set; entry
inline constexpr int kMsgUncheckRow = 0x418;  // a row's box cleared; entry
inline constexpr int kMsgTabChosen = 0x419;   // 0 search icon, 1..4 kind tab, 5 map tab
inline constexpr int kMsgMediaChanged = 0x500; // a drive or medium was added or removed
