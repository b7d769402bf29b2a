// The check of a recording's stream headers ("strh" and "strf") before a conversion: a stream
// whose header is cut, swollen or holds values no camera writes (no frame rate, 65,535 sound
// channels, a codec that is not the camera's) would give players an output they reject. Such a
// stream is left out of the output (its header list becomes filler and its chunks with it); the
// streams after it are numbered on. Used by the converter.
#pragma once

#include "core/container/AviLayout.h"

#include <string>
#include <vector>

struct StreamVerdict {
    bool keep = true;
    std::string why; // why the stream is left out
};

// One verdict per stream of `layout`, in order.
std::vector<StreamVerdict> CheckStreamHeaders(const AviLayout& layout);
