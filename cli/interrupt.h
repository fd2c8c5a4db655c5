// Interrupts of the command-line tool: Ctrl-C, a hang-up or a termination
// request ends it without leaving a temporary output file behind.
#ifndef CNV_CLI_INTERRUPT_H_
#define CNV_CLI_INTERRUPT_H_

// Makes SIGINT, SIGTERM and SIGHUP (on Windows Ctrl-C, Ctrl-Break and the
// closing of the console) remove the temporary output files and end the
// process with 128 + the signal number, as shells report a signal. For the
// process's entry point only: the handlers end the whole process.
void InstallInterruptHandlers();

#endif  // CNV_CLI_INTERRUPT_H_
