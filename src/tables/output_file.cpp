// SPDX-License-Identifier: MIT
#include "output_file.h"

#include "file_path.h"
#include "staging.h"

#include <algorithm>
#include <filesystem>
#include <utility>
#include <vector>

namespace sheetfind {
namespace {

std::string cannotWrite(const std::string& path, const std::error_code& error) {
    return "cannot write \"" + path + "\": " + error.message();
}

// The characters the staging folder adds to a file's path while it is written:
// "/.NAME.sheetfind-XXXXXX" before the name.
constexpr std::size_t kStagingSuffix = std::string_view("/..sheetfind-XXXXXX").size();

} // namespace

bool isStream(const std::string& destination) {
    return staging::isStream(destination);
}

std::string describeExistingOutput(const std::string& destination) {
    return "\"" + destination +
           "\" exists already; it is left as it is: remove it or choose another name";
}

std::variant<OutputFile, std::string> OutputFile::stage(const std::string& destination,
                                                        std::span<const int> sources) {
    const std::filesystem::path target = filePath(destination);
    const std::string name = pathText(target.filename());
    if (const auto problem = unusableFileName(destination, true, kStagingSuffix + name.size())) {
        return *problem;
    }
    if (isStream(destination)) {
        // A device or a pipe takes the bytes as they come: there is nothing to stage.
        return OutputFile(destination, {}, destination, true);
    }
    switch (staging::existing(destination, sources)) {
    case staging::Existing::Source:
        return "\"" + destination +
               "\" is the input; it is left as it is: write the output elsewhere";
    case staging::Existing::File:
        return describeExistingOutput(destination);
    case staging::Existing::None:
        break;
    }
    if (name.empty() || name == "." || name == "..") {
        return "cannot write \"" + destination + "\": it names a folder, not a file";
    }
    const std::filesystem::path parent = target.parent_path();
    auto folder = staging::makeFolder(parent.empty() ? "." : pathText(parent), name);
    if (const auto* error = std::get_if<std::error_code>(&folder)) {
        return cannotWrite(destination, *error);
    }
    const std::string made = std::get<std::string>(folder);
    return OutputFile(destination, made, made + "/" + name);
}

OutputFile::OutputFile(std::string destination, std::string folder, std::string path, bool stream)
    : m_destination(std::move(destination)), m_folder(std::move(folder)), m_path(std::move(path)),
      m_stream(stream) {}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : m_destination(std::move(other.m_destination)), m_folder(std::exchange(other.m_folder, {})),
      m_path(std::move(other.m_path)), m_stream(other.m_stream) {}

OutputFile::~OutputFile() {
    discard();
}

void OutputFile::discard() {
    if (m_folder.empty()) {
        return;
    }
    staging::forgetFolder(m_folder, true);
    m_folder.clear();
}

std::string OutputFile::commit() {
    if (m_stream) {
        return {};
    }
    if (m_folder.empty()) {
        return "cannot write \"" + m_destination + "\": it was discarded";
    }
    const std::filesystem::path target = filePath(m_destination);
    const std::string mainName = pathText(target.filename());
    std::vector<std::string> names;
    std::error_code listed;
    for (const auto& entry : std::filesystem::directory_iterator(filePath(m_folder), listed)) {
        names.push_back(pathText(entry.path().filename()));
    }
    if (listed) {
        const std::string failure = cannotWrite(m_destination, listed);
        discard();
        return failure;
    }
    // The main file last: whoever sees it sees its parts complete.
    std::sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
        return (a == mainName) != (b == mainName) ? b == mainName : a < b;
    });
    const auto destinationOf = [&](const std::string& name) {
        return pathText(target.parent_path() / filePath(name));
    };
    for (const std::string& name : names) {
        const std::string staged = m_folder + "/" + name;
        if (!std::filesystem::is_directory(filePath(staged))) {
            if (const std::error_code error = staging::sync(staged)) {
                const std::string failure = cannotWrite(destinationOf(name), error);
                discard();
                return failure;
            }
        }
    }
    std::vector<std::string> placed;
    for (const std::string& name : names) {
        const std::string to = destinationOf(name);
        if (const std::error_code error = staging::placeNew(m_folder + "/" + name, to)) {
            // Back into the staging folder, so that no part is left alone.
            for (const std::string& done : placed) {
                staging::putBack(destinationOf(done), m_folder + "/" + done);
            }
            discard();
            return error == std::errc::file_exists ? describeExistingOutput(to)
                                                   : cannotWrite(to, error);
        }
        placed.push_back(name);
    }
    staging::forgetFolder(m_folder, false);
    m_folder.clear();
    return {};
}

void discardStagedFilesOnSignals() {
    staging::installCleanup();
}

} // namespace sheetfind
