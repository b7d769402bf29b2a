// How the main window is composed on this machine. The web views (skin pages, map) are Qt Quick
// scenes; on the OpenGL path every repaint of a video screen redraws and uploads the whole window
// through OpenGL, which costs more than the decoding where OpenGL is a software renderer (no GPU,
// a virtual display). There the software scene graph composes only what changed, as plain widgets
// do; a machine with a GPU keeps the OpenGL path.
#pragma once

#include <QString>

namespace CompositionPath {

// Before the QApplication: on a machine with no GPU device at all (no render node, no vendor
// device), OpenGL could only render in software, so the software scene graph is chosen and OpenGL
// is not loaded into the process (its software renderer alone maps about 35 MiB). A choice the
// user made (QT_QUICK_BACKEND, QSG_RHI_BACKEND, QT_XCB_GL_INTEGRATION) is left as it is. Returns
// whether OpenGL was left out; the caller then does not ask for shared OpenGL contexts.
bool leaveOutOpenGlWithoutGpu();

// True when OpenGL here renders in software (llvmpipe, softpipe, swrast) or is missing.
// *renderer (when given) receives the OpenGL renderer's name. Needs the QGuiApplication.
bool openGlIsSoftware(QString* renderer = nullptr);

// After the QApplication and before the first window: picks the software scene graph where
// OpenGL is software. A scene graph backend chosen by the user (QT_QUICK_BACKEND,
// QSG_RHI_BACKEND) is left as it is. Returns whether the software path was chosen.
bool choose();

} // namespace CompositionPath
