// The temporary files of the writes under way, kept where an interrupt
// handler can find and remove them without allocating or locking (see
// RemovePendingOutputFiles in textfile.h). Private to the file layer.
#ifndef CNV_ENGINE_PENDING_FILES_H_
#define CNV_ENGINE_PENDING_FILES_H_

#include <filesystem>

// One registered temporary file.
struct PendingFile;

// Registers `path` before the file is created, so that no interrupt falls
// between the two; returns its entry, or null when it cannot be registered
// (a path too long for an entry, or no memory for more entries): such a file
// is still removed on every other path.
PendingFile* RegisterPending(const std::filesystem::path& path);

// Frees an entry (null: none) once its file is renamed or removed. While a
// handler on another thread removes the file, waits for it to finish.
void UnregisterPending(PendingFile* entry);

// Removes the file at `path` for an interrupt handler: on POSIX with
// async-signal-safe calls only, keeping errno. Defined by the platform's
// output file.
void RemoveFileInHandler(const std::filesystem::path::value_type* path);

#endif  // CNV_ENGINE_PENDING_FILES_H_
