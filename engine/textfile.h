// The file layer: reading and writing configuration text files in the
// configured character set, with the line-end rules of Windows text files.
// Everything platform-specific in the core lives behind this header.
#ifndef CNV_ENGINE_TEXTFILE_H_
#define CNV_ENGINE_TEXTFILE_H_

#include <filesystem>
#include <string>
#include <vector>

// Selects the character set of configuration files by name ("CP932",
// "UTF-8", ...); an empty name selects the user's default. Returns false
// (and keeps the previous choice) for a name the platform does not know.
bool SetFileEncoding(const std::string& name);
// The name of the character set in use.
std::string FileEncoding();

// Reads every line of `path` into `lines` (appending). Returns false when
// the file cannot be opened; throws FileError on a read error, an invalid
// byte or a NUL byte.
bool ReadTextLines(const std::filesystem::path& path, std::vector<std::u16string>& lines);

// Writes `lines`, each followed by CR LF, to `path` through a temporary file
// in the same folder that replaces the target only when complete. Returns
// false when the output cannot be created; throws FileError (disk full) when
// a write fails or a character cannot be represented. On every failure the
// old file is left as it was and no temporary file remains.
bool WriteTextLines(const std::filesystem::path& path, const std::vector<std::u16string>& lines);

// Test seam: makes the WriteTextLines calls that follow fail as on a full
// disk once their output would pass `bytes` bytes (the bytes up to that
// point are written first). A negative value switches the fault off.
void SetWriteFaultAfterBytes(long long bytes);

// Converts between the configured character set and UTF-16 (for messages
// on standard streams); throws FileError with an empty path on failure.
std::string EncodeText(const std::u16string& text);
std::u16string DecodeText(const std::string& bytes);

#endif  // CNV_ENGINE_TEXTFILE_H_
