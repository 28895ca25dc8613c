// sheetfind-cli: the window's lookup without the window, for one point or a file,
// and the whole NTS grid for GIS work through its subcommands.

#include "batch.h"
#include "subcommands.h"

#include <QString>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace {

int answerOne(std::string_view latitude, std::string_view longitude) {
    const sheetfind::LookupCommand command;
    const auto result =
        command.run(QString::fromLocal8Bit(latitude.data(), qsizetype(latitude.size())),
                    QString::fromLocal8Bit(longitude.data(), qsizetype(longitude.size())));
    if (const auto* failure = std::get_if<sheetfind::LookupFailure>(&result)) {
        std::fprintf(stderr, "sheetfind-cli: %s\n",
                     qPrintable(sheetfind::describe(*failure, command.locale())));
        return 1;
    }
    std::printf("%s\n", qPrintable(std::get<QString>(result)));
    return std::fflush(stdout) == 0 ? 0 : 2;
}

int answerInput() {
    sheetfind::BatchOptions options;
    options.interactive = isatty(fileno(stdin)) != 0;
    const auto result = sheetfind::answerStream(stdin, stdout, sheetfind::LineAnswerer(), options);
    if (result.writeError && result.errorNumber == EPIPE) {
        // The reader has all it wanted (`| head -1`): stop quietly.
        return result.failures == 0 ? 0 : 1;
    }
    if (result.readError || result.writeError) {
        std::fprintf(stderr, "sheetfind-cli: cannot %s: %s\n",
                     result.readError ? "read standard input" : "write the answers",
                     std::strerror(result.errorNumber));
        return 2;
    }
    return result.failures == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
#ifdef SIGPIPE
    // A closed pipe (`| head -1`) is reported as EPIPE by the write, and ends the
    // answering quietly, instead of killing the process.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        const std::string_view usage = sheetfind::cliUsage();
        std::fwrite(usage.data(), 1, usage.size(), stdout);
        return 0;
    }
    if (!args.empty() && sheetfind::isSubcommand(args[0])) {
        sheetfind::CliStreams streams;
        streams.interactive = isatty(fileno(stdin)) != 0;
        return sheetfind::runSubcommand(args, streams);
    }
    if (args.size() == 1 && args[0] == "--version") {
        std::puts("sheetfind-cli 1.00");
        return 0;
    }
    if (!args.empty() && args[0] == "--") {
        args.erase(args.begin());
    }
    if (args.empty()) {
        return answerInput();
    }
    if (args.size() == 2) {
        return answerOne(args[0], args[1]);
    }
    std::fprintf(stderr,
                 "sheetfind-cli: expected a latitude and a longitude, or none to read "
                 "standard input; got %zu arguments\nTry 'sheetfind-cli --help'.\n",
                 args.size());
    return 2;
}
