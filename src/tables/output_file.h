// SPDX-License-Identifier: MIT
#pragma once

#include <span>
#include <string>
#include <variant>

// The one rule for every file the tools write, whatever its format: whole or not
// at all, never over a file that exists, never onto the input.
namespace sheetfind {

// A file being written. It is written under its own name in a hidden folder
// beside the destination (".survey-nts.gpkg.sheetfind-XXXXXX/survey-nts.gpkg"),
// where a format that keeps parts beside it (a shapefile's .shx and .dbf, a GML
// file's .xsd) puts them too. commit() moves every part into place once all were
// written; until then nothing appears under the destination's names, and a run
// that fails, or is interrupted (see discardStagedFilesOnSignals), leaves nothing.
class OutputFile {
public:
    // Prepares to write `destination`. A stream (isStream, stream()) is written as it is, and
    // commit() then has nothing to do. Refused, with the reason, when it exists
    // (even as a dangling link), when Windows cannot take its name (unusableFileName),
    // or when it cannot be prepared; the reason names the source when the destination
    // is one of the open `sources` (descriptors of the input), as in
    // `annotate -o table.csv < table.csv`.
    static std::variant<OutputFile, std::string> stage(const std::string& destination,
                                                       std::span<const int> sources = {});

    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&& other) = delete;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile(); // discards what was not committed

    const std::string& destination() const { return m_destination; }
    // Where the writer writes: the destination's name in the staging folder, or the
    // stream itself.
    const std::string& path() const { return m_path; }
    bool stream() const { return m_stream; }

    // Syncs every part to disk and moves it into place, none over a file that
    // appeared meanwhile. On failure nothing is left under the destination's names,
    // the staged parts are removed, and the reason ("cannot write \"out.csv\": No
    // space left on device") is returned; empty on success.
    std::string commit();
    // Removes the staging folder and everything in it.
    void discard();

private:
    OutputFile(std::string destination, std::string folder, std::string path, bool stream = false);

    std::string m_destination;
    std::string m_folder; // the staging folder; empty once committed or discarded
    std::string m_path;
    bool m_stream = false; // a device or a pipe, written directly
};

// Whether `destination` is a stream rather than a file: a device such as /dev/null
// or a named pipe. A stream is written as it is, not staged: nothing in it can be
// lost, and nothing can be renamed over it.
bool isStream(const std::string& destination);

// The message for a destination that exists, the one every writer gives.
// Example: "\"out.gpkg\" exists already; it is left as it is: remove it or choose
// another name".
std::string describeExistingOutput(const std::string& destination);

// On SIGINT, SIGTERM or SIGHUP, removes every staging folder still open, then ends
// the process by the same signal. A program that writes files calls it once at start.
void discardStagedFilesOnSignals();

} // namespace sheetfind
