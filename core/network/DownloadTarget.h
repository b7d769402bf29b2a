// Where a linked recording is stored: a file name from the link made safe, a free name in the
// target folder, and the desktop folder. Used by the download window and its tests.
#pragma once

#include <QString>

// Longest stored name in bytes of UTF-8 (file systems allow 255; room is left for " (99)").
inline constexpr int kMaxDownloadNameBytes = 200;

// The link's file name as a plain name inside the target folder: folder separators become "_",
// control characters go, ".." sequences shrink to ".", leading dots and blanks go, the length is
// held to kMaxDownloadNameBytes with the extension kept. The extension is always ".qmv" (another one
// is replaced). A name with nothing left is "download.qmv".
QString SafeDownloadName(const QString& linkName);

// `name` in `folder` when no file of that name exists, else "stem (2).ext", "stem (3).ext", ...:
// a file already there is never overwritten. Empty when no free name is found.
QString FreeTargetPath(const QString& folder, const QString& name);

// The user's desktop folder (XDG user directories), created when missing; empty when it cannot be.
QString DesktopFolder();
