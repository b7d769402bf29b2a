// The engine's own GStreamer source element: serves a recording's bytes (RecordingBytes) to the
// demuxer in random-access mode, so the demuxer reads the index and seeks exactly.
#pragma once

#include "media/playback/RecordingBytes.h"

#include <gst/gst.h>
#include <memory>

inline constexpr const char* kRecordingSourceFactory = "quillentrecsrc";

// Registers the element with this process's GStreamer (once; later calls do nothing).
void registerRecordingSource();

// Gives a created element its bytes; call before the element leaves the NULL state.
void setRecordingSourceBytes(GstElement* element, std::shared_ptr<RecordingBytes> bytes);
