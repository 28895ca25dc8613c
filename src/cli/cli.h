// SPDX-License-Identifier: MIT
#pragma once

#include "streams.h"

#include <span>
#include <string_view>

namespace sheetfind::cli {

// sheetfind-cli as a library: runs the tool on `args` (without the program name)
// and returns its exit status. Every subcommand goes through here, and so do the
// rules on what is written where and how the run ends (see session.h).
//
// The caller ignores SIGPIPE, so that a reader that goes away shows as a failed
// write (EPIPE) and ends the run quietly instead of killing it.
int run(std::span<const std::string_view> args, ByteSource& in, ByteSink& out, ByteSink& err);

} // namespace sheetfind::cli
