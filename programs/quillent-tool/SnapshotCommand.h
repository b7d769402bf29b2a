// quillent-tool snapshot: saves one channel's picture of a recording at a position as JPEG.
#pragma once

// argv[0] is "snapshot"; returns the process exit code (0 done, 1 failed, 2 usage).
int runSnapshotCommand(int argc, char** argv);
