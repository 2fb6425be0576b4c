#pragma once

#include <QByteArray>
#include <vector>

namespace kve {

// A run of bytes to write at an offset of a file.
struct FilePatch {
    qint64 offset = 0;
    QByteArray bytes;
};

// What became of a set of patches: 0, or the system's error number.
struct PatchOutcome {
    int error = 0;          // the write that failed
    int restoreError = 0;   // putting the old bytes back; 0 when the file is as it was
};

// Writes the patches in order to the open file `fd`, which is `size` bytes long, checking
// every write. The bytes the patches cover are read first; when a write fails they are
// written back and the file is cut to its old size, so it is left exactly as it was.
PatchOutcome applyPatches(int fd, qint64 size, const std::vector<FilePatch> &patches);

// Reads `length` bytes at `offset`; 0 or the system's error number (EIO for a short file).
int readAt(int fd, qint64 offset, char *data, qint64 length);

} // namespace kve
