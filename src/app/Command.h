// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>

#include <optional>

namespace lexwick {

// The `lexwick` command with arguments: `lexwick correct|paraphrase|explain` asks the running
// application (D-Bus activation starts it) to process the selected text, or, with text on
// standard input, that text, whose result goes to standard output; `--paste` / `--no-paste`
// decide for this call whether the result replaces the selection; `--help` and `--version`.
// Returns the exit status, or nothing when the application itself is to start (no argument).
std::optional<int> runCommand(const QStringList& arguments);

} // namespace lexwick
