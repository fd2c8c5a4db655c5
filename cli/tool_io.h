// What the tool's runs share: the names of standard input and output, paths
// as the terminal and the JSON document show them, message lines on
// standard error and bytes on standard output.
#ifndef CNV_CLI_TOOL_IO_H_
#define CNV_CLI_TOOL_IO_H_

#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>

class FileError;

inline constexpr char kProgram[] = "cnvqdn570conf";
inline constexpr char kStdoutName[] = "-";
inline constexpr char kStdinName[] = "-";

// A path argument as given (UTF-8 on Windows, the native bytes elsewhere).
std::filesystem::path PathFromArg(const std::string& arg);
// A path as an argument of one conversion: UTF-8 on Windows, the native
// bytes elsewhere.
std::string ArgFromPath(const std::filesystem::path& path);

// A path as the terminal shows it. POSIX paths already are bytes in the
// locale's character set. "-" is standard input.
std::string PathForTerminal(const std::filesystem::path& path);
// A path as text for a question on the terminal.
std::u16string PathText(const std::filesystem::path& path);
// The input or output path as the JSON document gives it, UTF-8.
std::string JsonPath(const std::filesystem::path& path);

// UTF-8 text in the terminal's character set.
std::string Text(std::string_view utf8);
// Writes one message line, "cnvqdn570conf: " and `bytes`, to `err`.
void Say(std::ostream& err, const std::string& bytes);
// Says the message of a file error, where, what failed and why, and
// returns it (as it follows the program's name).
std::string ReportFileError(const FileError& error, std::ostream& err);

// Writes bytes of configuration text to standard output; a failed write is
// a file error like a failed write of a file.
void WriteToStdout(std::ostream& out, const std::string& bytes);

#endif  // CNV_CLI_TOOL_IO_H_
