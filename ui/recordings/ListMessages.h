// Numbers of the messages the recording list and its tab strip send to the main window: 0x414 open
// row, 0x415/0x416 select-all set/cleared, 0x417/0x418 row box set/cleared, 0x419 tab chosen.
#pragma once

#include "ui/app/CommandIds.h"
