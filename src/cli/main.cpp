// SPDX-License-Identifier: MIT
// sheetfind-cli: the window's lookup without the window, for one point or a file,
// and the whole NTS grid for GIS work through its subcommands.

#include "cli.h"
#include "output_file.h"

#include <csignal>
#include <string_view>
#include <vector>

int main(int argc, char** argv) {
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
    // Ctrl-C while a file is written leaves no part of it.
    sheetfind::discardStagedFilesOnSignals();
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    sheetfind::FdSource in(0);
    sheetfind::FdSink out(1);
    sheetfind::FdSink err(2);
    return sheetfind::cli::run(args, in, out, err);
}
