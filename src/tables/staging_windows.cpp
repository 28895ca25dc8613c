// SPDX-License-Identifier: MIT
// The output files' staging on Windows: hidden folders beside the destination,
// parts placed with MoveFileExW, which refuses a name that exists, and a console
// control handler in place of the POSIX signals.
#include "staging.h"

#include "file_path.h"
#include "streams.h"
#include "windows_text.h"

#include <io.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <vector>

namespace sheetfind::staging {
namespace {

std::error_code lastError() {
    return {errnoFromWindows(GetLastError()), std::generic_category()};
}

// The staging folders open at any moment. Windows runs the console control handler
// on a thread of its own, so a lock keeps the table, and the placing of parts, from
// changing under it.
std::mutex g_lock;
std::vector<std::string> g_folders;
bool g_interrupted = false; // once set, nothing more is placed

// How long the program is given to unwind after Ctrl-C; Windows gives a closed
// console window five seconds in all.
constexpr int kUnwindMilliseconds = 3000;
constexpr int kPollMilliseconds = 50;
HANDLE g_mainThread = nullptr; // the thread that installed the handler, which reads

// A file's identity: its volume and its index there.
struct FileId {
    DWORD volume = 0;
    DWORD high = 0;
    DWORD low = 0;
    bool operator==(const FileId&) const = default;
};

bool idOf(HANDLE handle, FileId& id) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &information)) {
        return false;
    }
    id = {information.dwVolumeSerialNumber, information.nFileIndexHigh, information.nFileIndexLow};
    return true;
}

// Opened for nothing but its type and identity: a folder too, shared with everyone.
HANDLE openToLook(const std::string& name) {
    return CreateFileW(utf16(name).c_str(), 0,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

BOOL WINAPI discardOnInterrupt(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        break;
    default:
        return FALSE;
    }
    {
        const std::lock_guard lock(g_lock);
        g_interrupted = true;
    }
    // The program's reads and writes fail from now on, and it unwinds, closing and
    // removing what it staged (a file still open cannot lose its folder). Whatever is
    // left after a while is removed here: files this program writes itself are
    // shared for deletion; a library's file still open keeps its folder.
    markInterrupted();
    // A read that waits (what is typed, a pipe) is cut short.
    if (g_mainThread != nullptr) {
        CancelSynchronousIo(g_mainThread);
    }
    for (int waited = 0; waited < kUnwindMilliseconds; waited += kPollMilliseconds) {
        {
            const std::lock_guard lock(g_lock);
            if (g_folders.empty()) {
                break;
            }
        }
        Sleep(kPollMilliseconds);
    }
    const std::lock_guard lock(g_lock);
    for (const std::string& folder : g_folders) {
        std::error_code ignored;
        std::filesystem::remove_all(filePath(folder), ignored);
    }
    // Windows' own handler ends the process next, unless the program has ended first.
    return FALSE;
}

} // namespace

bool isStream(const std::string& name) {
    const HANDLE handle = openToLook(name);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    const DWORD type = GetFileType(handle);
    CloseHandle(handle);
    return type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE;
}

Existing existing(const std::string& name, std::span<const int> sources) {
    if (GetFileAttributesW(utf16(name).c_str()) == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        // A name that cannot even be looked at still counts as taken.
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Existing::None
                                                                              : Existing::File;
    }
    const HANDLE handle = openToLook(name);
    FileId target;
    const bool known = idOf(handle, target);
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
    }
    const bool isSource =
        known && std::any_of(sources.begin(), sources.end(), [&](int fd) {
            FileId source;
            return idOf(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), source) && source == target;
        });
    return isSource ? Existing::Source : Existing::File;
}

std::variant<std::string, std::error_code> makeFolder(const std::string& parent,
                                                      const std::string& name) {
    static std::atomic<unsigned> counter{0};
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    unsigned seed = static_cast<unsigned>(now.QuadPart) ^ (GetCurrentProcessId() << 16);
    constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned value = seed + counter.fetch_add(1) * 2654435761U;
        std::string suffix;
        for (int i = 0; i < 6; ++i) {
            suffix += kLetters[value % kLetters.size()];
            value /= kLetters.size();
        }
        const std::string folder = parent + "\\." + name + ".sheetfind-" + suffix;
        const std::lock_guard lock(g_lock);
        if (CreateDirectoryW(utf16(folder).c_str(), nullptr)) {
            SetFileAttributesW(utf16(folder).c_str(), FILE_ATTRIBUTE_HIDDEN);
            g_folders.push_back(folder);
            return folder;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            return lastError();
        }
        seed = seed * 1103515245U + 12345U;
    }
    return std::make_error_code(std::errc::file_exists);
}

void forgetFolder(const std::string& folder, bool remove) {
    const std::lock_guard lock(g_lock);
    std::error_code ignored;
    if (remove) {
        std::filesystem::remove_all(filePath(folder), ignored);
    } else {
        std::filesystem::remove(filePath(folder), ignored);
    }
    std::erase(g_folders, folder);
}

std::error_code sync(const std::string& name) {
    const HANDLE handle = CreateFileW(utf16(name).c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return lastError();
    }
    const bool flushed = FlushFileBuffers(handle) != FALSE;
    const std::error_code error = flushed ? std::error_code() : lastError();
    CloseHandle(handle);
    return error;
}

std::error_code placeNew(const std::string& from, const std::string& to) {
    const std::lock_guard lock(g_lock);
    if (g_interrupted) {
        return std::make_error_code(std::errc::interrupted);
    }
    // Without MOVEFILE_REPLACE_EXISTING a name that exists is refused; on one volume
    // the move is a rename.
    if (MoveFileExW(utf16(from).c_str(), utf16(to).c_str(), MOVEFILE_WRITE_THROUGH)) {
        return {};
    }
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
        return std::make_error_code(std::errc::file_exists);
    }
    return {errnoFromWindows(error), std::generic_category()};
}

void putBack(const std::string& placed, const std::string& staged) {
    MoveFileExW(utf16(placed).c_str(), utf16(staged).c_str(), 0);
}

void installCleanup() {
    static std::once_flag once;
    std::call_once(once, [] {
        DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &g_mainThread,
                        0, FALSE, DUPLICATE_SAME_ACCESS);
        SetConsoleCtrlHandler(discardOnInterrupt, TRUE);
    });
}

} // namespace sheetfind::staging
