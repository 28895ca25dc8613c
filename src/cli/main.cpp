// SPDX-License-Identifier: MIT
// sheetfind-cli: the window's lookup without the window, for one point or a file,
// and the whole NTS grid for GIS work through its subcommands.

#include "cli.h"
#ifdef SHEETFIND_WITH_TABLES
#include "output_file.h"
#endif

#include <csignal>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include "windows_text.h"

#include <fcntl.h>
#include <io.h>
#endif

namespace {

int runTool(std::span<const std::string_view> args) {
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
#ifdef SHEETFIND_WITH_TABLES
    // Ctrl-C while a file is written leaves no part of it.
    sheetfind::discardStagedFilesOnSignals();
#endif
    sheetfind::FdSource in(0);
    sheetfind::FdSink out(1);
    sheetfind::FdSink err(2);
    return sheetfind::cli::run(args, in, out, err);
}

} // namespace

#ifdef _WIN32
// Windows gives a program its arguments in UTF-16, and main() would see them in the
// ANSI code page, where "49°15′N" has no ′ and "Élise" may have no É. The tool works
// in UTF-8 throughout: its arguments become UTF-8 here, its standard streams carry
// bytes as on Linux (no CRLF for LF, no Ctrl-Z for the end), and a console is spoken
// to in UTF-16 (FdSink), whatever its code page.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> texts;
    for (int i = 1; i < argc; ++i) {
        texts.push_back(sheetfind::utf8(argv[i]));
    }
    const std::vector<std::string_view> args(texts.begin(), texts.end());
    for (const int fd : {0, 1, 2}) {
        _setmode(fd, _O_BINARY);
    }
    return runTool(args);
}
#else
int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    return runTool(args);
}
#endif
