// SPDX-License-Identifier: MIT
#include "session.h"

#include <cstring>

namespace sheetfind::cli {
namespace {

constexpr std::string_view kProgram = "sheetfind-cli";
constexpr HintWords kHintWords{.readLongitudeFirst = "try --lon-first",
                               .readLatitudeFirst = "leave out --lon-first"};

} // namespace

Session::Session(ByteSink& out, ByteSink& err) : m_out(out), m_err(err) {}

void Session::writeTo(ByteSink& sink, std::string name) {
    m_out.flush();
    m_file.emplace(sink);
    m_fileName = std::move(name);
}

std::string Session::describe(const RecordFailure& failure) {
    if (const auto* input = std::get_if<InputFailure>(&failure)) {
        return sheetfind::describe(*input, kHintWords);
    }
    const auto& table = std::get<TableFailure>(failure);
    std::string message = sheetfind::describe(table);
    if (table.error == TableError::NoPointColumns) {
        message += ", or --lat and --lon, or --point";
    }
    return message + std::string(advice(adviceFor(table)));
}

std::string_view Session::advice(TableAdvice advice) {
    switch (advice) {
    case TableAdvice::None:
        break;
    case TableAdvice::ChooseColumns:
        return ", or the point columns chosen with --lat and --lon, by name or by number from 1";
    case TableAdvice::NameColumn:
        return "; name another with --column";
    }
    return {};
}

void Session::answerFailure(const RecordFailure& failure) {
    out().append("ERROR: ");
    out().append(describe(failure));
    out().append('\n');
    m_failed = true;
}

void Session::reportFailure(const RecordFailure& failure, std::string_view where) {
    reportFailure(std::string(where) + describe(failure));
}

void Session::reportFailure(std::string_view message) {
    diagnose(message);
    m_failed = true;
}

void Session::diagnose(std::string_view message) {
    std::string line(kProgram);
    line += ": ";
    line += message;
    line += '\n';
    // Nowhere is left to report a failure to write to standard error.
    static_cast<void>(m_err.write(line));
}

int Session::usageError(std::string_view message, std::string_view command) {
    std::string help(kProgram);
    if (!command.empty()) {
        help += ' ';
        help += command;
    }
    diagnose(std::string(message) + "\nTry '" + help + " --help'.");
    return kUsageOrIo;
}

void Session::readFailed(int error) {
    ioFailed("cannot read the input", error);
}

void Session::ioFailed(std::string_view what, int error) {
    diagnose(std::string(what) + ": " + std::strerror(error));
    m_ioFailed = true;
}

int Session::finish() {
    Output& output = out();
    output.flush();
    switch (output.state()) {
    case Output::State::Open:
        break;
    case Output::State::Closed:
        // The reader has all it wanted: what it did not read was never asked for.
        return m_failed ? kSomeFailed : kAllAnswered;
    case Output::State::Failed:
        diagnose((m_file ? "cannot write \"" + m_fileName + "\": " : "cannot write the answers: ") +
                 std::strerror(output.error()));
        return kUsageOrIo;
    }
    if (m_ioFailed) {
        return kUsageOrIo;
    }
    return m_failed ? kSomeFailed : kAllAnswered;
}

} // namespace sheetfind::cli
