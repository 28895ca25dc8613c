// sheetfind-cli: the window's lookup without the window, for one point or a file.

#include "batch.h"

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

constexpr const char* kUsage = R"(Usage: sheetfind-cli LATITUDE LONGITUDE
       sheetfind-cli < FILE
Prints the 1:50 000 NTS map sheet that covers a point, such as 092G06, or an
empty line when no sheet of the grid covers it (the grid spans 40-80 N and
48-144 W). West longitudes are negative: -123.1 is a value, not an option.

With no arguments, reads standard input: each line holds a latitude and a
longitude separated by blanks, a tab, or a comma (where the comma is not the
decimal separator). Output line N answers input line N with the reference, an
empty line, or "ERROR: " and the reason.

Numbers are read in the locale of LC_ALL, LC_NUMERIC or LANG, as the window
reads them; 49.25 is also accepted where the decimal separator is a comma.

Exit status: 0 when every point converted, 1 when any did not, 2 on a usage
or input/output error.

  sheetfind-cli 49.25 -123.1          prints 092G06
  printf '49.25 -123.1\n68,-123.1\n' | sheetfind-cli

Options: --help, --version
)";

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
    std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args.size() == 1 && args[0] == "--version") {
        std::puts("sheetfind-cli 1.00");
        return 0;
    }
    if (!args.empty() && args[0] == "--") {
        args.erase(args.begin());
    }
    if (args.empty()) {
#ifdef SIGPIPE
        // A closed pipe is reported as EPIPE by the write instead of killing us.
        std::signal(SIGPIPE, SIG_IGN);
#endif
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
