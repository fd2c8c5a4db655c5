// The user's terminal for the command-line tool: whether standard input is
// one, and the yes/no question asked before an existing output is replaced.
#ifndef CNV_CLI_TERMINAL_H_
#define CNV_CLI_TERMINAL_H_

#include <string>

// True when standard input is an interactive terminal (a console on
// Windows), so that a question can be answered.
bool StdinIsTerminal();
// True when standard error is a terminal, on which progress can be drawn.
bool StderrIsTerminal();
// True when standard output is a terminal, on which a diff is read.
bool StdoutIsTerminal();

// Shows `question` on the terminal and reads one answer line; true only
// for "y" or "yes" in any case. The end of input counts as no.
bool AskOnTerminal(const std::u16string& question);

// Prepares the standard streams: configuration text written to standard
// output keeps its CR LF line ends on Windows.
void PrepareStandardStreams();

#endif  // CNV_CLI_TERMINAL_H_
