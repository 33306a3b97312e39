// The discovery layer's one place that runs shell commands: a command runs
// through the shell with a read pipe, and its whole output comes back as
// lines. The component core has its own runner; this layer does not call
// into the core.
#ifndef ZRN_HBA_SHELL_PIPE_H_
#define ZRN_HBA_SHELL_PIPE_H_

#include <optional>
#include <string>
#include <vector>

// The command's output lines, each with its newline where the output had
// one; nullopt when the pipe cannot be opened. The pipe is closed before
// this returns.
[[nodiscard]] std::optional<std::vector<std::string>> ReadCommandLines(const std::string& command);

#endif  // ZRN_HBA_SHELL_PIPE_H_
