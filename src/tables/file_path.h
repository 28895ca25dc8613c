// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// Files by name, the same way on every platform. Sheetfind speaks UTF-8 everywhere:
// a name is UTF-8 text on Linux and on Windows alike (where it becomes UTF-16 only at
// the system's door), so "C:\Users\Élise\Relevés\points.csv" opens as typed.
namespace sheetfind {

// The file system's path for a UTF-8 name, and back.
std::filesystem::path filePath(std::string_view name);
std::string pathText(const std::filesystem::path& path);

enum class FileAccess {
    Read,          // an existing file, to read
    WriteExisting, // an existing file or a device, to write (a pipe, /dev/null, NUL)
    CreateNew,     // a new file, refused where the name exists
};

// Opens the named file as a descriptor of the C library, in binary mode; -1, with
// errno set, where it cannot be. On Windows it is shared for deletion, so that Ctrl-C
// can remove a file still being written (see discardStagedFilesOnSignals).
int openFile(const std::string& name, FileAccess access);

// Why Windows cannot take `name` as a file's name, or nullopt where it can:
// - a name Windows keeps for a device, alone or before an extension ("aux.csv",
//   "CON"; "NUL" alone is the null device, taken as a stream where `stream` is set);
// - a whole path of `length` characters, longer than Windows takes where long paths
//   are not turned on (`longPaths`).
// Example: "\"aux.csv\" is a name Windows keeps for a device (AUX), not for a file;
// choose another name".
std::optional<std::string> windowsNameProblem(std::string_view name, std::size_t length,
                                              bool longPaths, bool stream);

// windowsNameProblem on Windows, for the system's own idea of the whole path and of
// long paths, where writing the file takes `extra` characters more than its name
// (a staging folder's); nullopt elsewhere.
std::optional<std::string> unusableFileName(std::string_view name, bool stream = false,
                                            std::size_t extra = 0);

#ifdef _WIN32
// The errno value that stands for a Windows error (GetLastError), so that a failure
// reads as it does on Linux: "No space left on device".
int errnoFromWindows(unsigned long error);
#endif

} // namespace sheetfind
