// The one place that runs shell commands: RunCommand collects a command's
// standard output, RunShell runs a command for its effect. Both write out
// the program's pending console text before the command starts.
#ifndef ZRN_CORE_RUN_COMMAND_H_
#define ZRN_CORE_RUN_COMMAND_H_

#include <cstdio>
#include <string>

// Runs the command through the shell and returns everything it wrote to
// standard output, newlines included; its standard error is not captured and
// its exit status is not looked at. "ERROR" when the pipe cannot be opened.
// Reading stops at end of file or at a read error, whichever comes first.
[[nodiscard]] std::string RunCommand(const std::string& command);

// Bytes of one command's output that are read at most. The tools print a few
// lines (a release file, a line per adapter of the Emulex query), so 16 MiB
// is far above any real output; it keeps a command that never stops printing
// (a release file that is /dev/zero, a looping tool) from holding the run or
// its memory. What comes past it is not read: closing the pipe ends the
// writer with SIGPIPE.
constexpr size_t kMaxCommandOutputBytes = size_t{16} << 20;

// Everything left in the stream, read in chunks of at most 127 bytes, each
// taken up to its first NUL. Stops at end of file, at a read error, or once
// kMaxCommandOutputBytes bytes were read.
[[nodiscard]] std::string ReadStream(FILE* stream);

// Runs the command through the shell (system) and returns its raw wait
// status; bits 8 to 15 hold the command's exit code.
int RunShell(const std::string& command);

// The exit code in a status from RunShell: bits 8 to 15 when the command
// exited; 128 plus the signal number when a signal ended it (as shells report
// it), so a killed command never reads as a success; 255 for -1, the status
// of a shell that could not be started.
[[nodiscard]] int ToolExitCode(int status);

#endif  // ZRN_CORE_RUN_COMMAND_H_
