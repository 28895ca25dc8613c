// SPDX-License-Identifier: MIT
#pragma once

#include <span>
#include <string>
#include <system_error>
#include <variant>

// What OutputFile asks of the platform's file system, one implementation per platform
// (staging_posix.cpp, staging_windows.cpp). Names are UTF-8.
namespace sheetfind::staging {

// Whether `name` is a device or a pipe rather than a file.
bool isStream(const std::string& name);

enum class Existing { None, File, Source };
// Whether `name` exists, even as a dangling link, and whether it is the file behind
// one of the descriptors `sources`.
Existing existing(const std::string& name, std::span<const int> sources);

// Makes a new, private, hidden folder `parent/.name.sheetfind-XXXXXX`, remembered for
// the signal handler until forgotten; its name, or why not.
std::variant<std::string, std::error_code> makeFolder(const std::string& parent,
                                                      const std::string& name);
// Forgets the folder (it was removed, or its parts were placed), and removes it and
// what is in it when `remove`.
void forgetFolder(const std::string& folder, bool remove);

// Writes a file's data to the disk, where a delayed write can still fail.
std::error_code sync(const std::string& name);

// Moves `from` to `to` unless `to` exists (std::errc::file_exists), atomically where
// the file system can. Refused once the process is being interrupted, so that nothing
// is placed while the signal handler removes what was staged.
std::error_code placeNew(const std::string& from, const std::string& to);
// Moves a placed part back into its staging folder.
void putBack(const std::string& placed, const std::string& staged);

// Installs the handler that removes every remembered folder when the user interrupts
// the program (Ctrl-C, a closed terminal or console window) and then ends it as the
// interruption would have.
void installCleanup();

} // namespace sheetfind::staging
