#pragma once

#include <cstdio>
#include <span>
#include <string_view>

namespace sheetfind {

// Where a subcommand reads and writes.
struct CliStreams {
    std::FILE* in = stdin;
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    bool interactive = false; // standard input is a terminal: answer each line at once
};

// The help text of sheetfind-cli: the bare form and every subcommand, with examples.
std::string_view cliUsage();

// Whether the first argument names a subcommand: locate, bounds, neighbours or cover.
bool isSubcommand(std::string_view name);

// Runs a subcommand; `args` starts with its name. Returns the exit status: 0 when
// every input was answered, 1 when any reference or number was bad (each reported
// on its own "ERROR:" line, or on standard error for a single input), 2 on a usage
// or input/output error.
int runSubcommand(std::span<const std::string_view> args, const CliStreams& streams);

} // namespace sheetfind
