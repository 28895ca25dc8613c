// SPDX-License-Identifier: MIT
#include "cli.h"

#include "commands.h"
#include "help.h"
#include "options.h"
#include "session.h"
#include "sheetfind_version.h"

#include <algorithm>
#include <string>
#include <vector>

namespace sheetfind::cli {
namespace {

std::string versionLine() {
    return "sheetfind-cli " + std::string(kVersion) + "\n";
}

int show(Session& session, std::string_view text) {
    session.out().append(text);
    return session.finish();
}

// A word such as "neighbor" where a command is expected: letters only, so that a
// number, a DMS angle or a reference is never taken for one.
bool isWord(std::string_view arg) {
    return arg.size() >= 2 && std::all_of(arg.begin(), arg.end(), [](char ch) {
               return ('a' <= ch && ch <= 'z') || ('A' <= ch && ch <= 'Z') || ch == '-';
           });
}

std::vector<std::string_view> commandNames() {
    std::vector<std::string_view> names;
    for (const Command& command : commands()) {
        if (!command.alias) {
            names.push_back(command.name);
        }
    }
    return names;
}

int unknownCommand(Session& session, std::string_view name, bool always) {
    const std::vector<std::string_view> names = commandNames();
    const auto suggestion = nearest(name, names);
    if (!suggestion && !always) {
        return -1;
    }
    std::string message = "unknown subcommand '" + std::string(name) + "'";
    if (suggestion) {
        message += "; did you mean '" + std::string(*suggestion) + "'?";
    }
    return session.usageError(message);
}

int runCommand(const Command& command, std::span<const std::string_view> args, ByteSource& in,
               Session& session) {
    const auto parsed = parseArguments(args, command.options, command.name);
    if (const auto* message = std::get_if<std::string>(&parsed)) {
        return session.usageError(*message, command.name);
    }
    const Arguments& arguments = std::get<Arguments>(parsed);
    if (arguments.help) {
        return show(session, *commandHelp(command.name));
    }
    if (arguments.version) {
        return show(session, versionLine());
    }
    Context context{.command = command.name, .args = arguments, .in = in, .session = session};
    return command.run(context);
}

} // namespace

int run(std::span<const std::string_view> args, ByteSource& in, ByteSink& out, ByteSink& err) {
    Session session(out, err);
    if (args.empty()) {
        return answerBare(args, in, session);
    }
    const std::string_view first = args[0];
    for (const Command& command : commands()) {
        if (command.name == first) {
            return runCommand(command, args.subspan(1), in, session);
        }
    }
    if (args.size() == 1 && (first == "--help" || first == "-h")) {
        return show(session, overviewHelp());
    }
    if (args.size() == 1 && first == "--version") {
        return show(session, versionLine());
    }
    if (first == "--") {
        args = args.subspan(1);
    } else if (first.starts_with("--") ||
               (first.size() == 2 && first[0] == '-' && isWord(first.substr(1)))) {
        return session.usageError("unknown option '" + std::string(first) +
                                  "'; the options of a subcommand go after its name, as in "
                                  "'sheetfind-cli locate --scale 250k'");
    } else if (isWord(first)) {
        if (const int status = unknownCommand(session, first, args.size() != 2); status >= 0) {
            return status;
        }
    }
    if (args.size() == 2) {
        return answerBare(args, in, session);
    }
    return session.usageError("expected a latitude and a longitude, or none to read standard "
                              "input; got " +
                              std::to_string(args.size()) +
                              (args.size() == 1 ? " argument" : " arguments"));
}

} // namespace sheetfind::cli
