// Process-wide GStreamer start-up for the media library (engine, picture encoder).
#pragma once

// Initialises GStreamer and registers the engine's own elements; once per process, any thread.
// False when GStreamer cannot start (the engine then fails every open).
bool ensureGStreamer();
