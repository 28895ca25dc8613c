// SPDX-License-Identifier: MIT
#include "file_path.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <fcntl.h>

#ifdef _WIN32
#include "windows_text.h"

#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace sheetfind {
namespace {

// The longest path Windows takes without long paths: MAX_PATH less its NUL.
constexpr std::size_t kWindowsMaxPath = 259;

// The names Windows gives its devices, in every folder and with any extension.
constexpr std::array<std::string_view, 28> kDeviceNames{
    "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6",
    "COM7", "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7",
    "LPT8", "LPT9", "COM¹", "COM²", "COM³", "LPT¹", "LPT²", "LPT³"};

std::string upper(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::toupper(ch)); });
    return out;
}

#ifdef _WIN32

// Whether Windows takes paths beyond MAX_PATH from this program: its manifest says it
// can, and the system has them turned on (Windows 10 1607 and later).
bool longPathsEnabled() {
    using Query = BOOLEAN(WINAPI*)();
    static const bool enabled = [] {
        const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        const auto query = ntdll != nullptr ? reinterpret_cast<Query>(reinterpret_cast<void*>(
                                                  GetProcAddress(ntdll, "RtlAreLongPathsEnabled")))
                                            : nullptr;
        return query != nullptr && query() != FALSE;
    }();
    return enabled;
}

std::size_t fullLength(const std::wstring& name) {
    const DWORD length = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
    return length > 0 ? length - 1 : name.size(); // less its NUL
}
#endif

} // namespace

#ifdef _WIN32
int errnoFromWindows(unsigned long error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
        return EINVAL;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    default:
        return EIO;
    }
}

#endif

std::filesystem::path filePath(std::string_view name) {
    return std::filesystem::path(std::u8string(name.begin(), name.end()));
}

std::string pathText(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

int openFile(const std::string& name, FileAccess access) {
#ifdef _WIN32
    const DWORD desired = access == FileAccess::Read ? GENERIC_READ : GENERIC_WRITE;
    const DWORD disposition = access == FileAccess::CreateNew ? CREATE_NEW : OPEN_EXISTING;
    const HANDLE handle = CreateFileW(utf16(name).c_str(), desired,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = errnoFromWindows(GetLastError());
        return -1;
    }
    const int flags = _O_BINARY | (access == FileAccess::Read ? _O_RDONLY : _O_WRONLY);
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags);
    if (fd < 0) {
        CloseHandle(handle);
        errno = EMFILE;
    }
    return fd;
#else
    int flags = O_CLOEXEC;
    switch (access) {
    case FileAccess::Read:
        flags |= O_RDONLY;
        break;
    case FileAccess::WriteExisting:
        flags |= O_WRONLY;
        break;
    case FileAccess::CreateNew:
        flags |= O_WRONLY | O_CREAT | O_EXCL;
        break;
    }
    return ::open(name.c_str(), flags, 0666);
#endif
}

std::optional<std::string> windowsNameProblem(std::string_view name, std::size_t length,
                                              bool longPaths, bool stream) {
    const std::size_t slash = name.find_last_of("/\\:");
    std::string_view last = slash == std::string_view::npos ? name : name.substr(slash + 1);
    std::string_view base = last.substr(0, last.find('.'));
    while (!base.empty() && base.back() == ' ') {
        base.remove_suffix(1);
    }
    const std::string device = upper(base);
    const bool isDevice =
        std::find(kDeviceNames.begin(), kDeviceNames.end(), device) != kDeviceNames.end();
    // NUL alone is the null device, the Windows /dev/null.
    if (isDevice && !(stream && device == "NUL" && base == last)) {
        return "\"" + std::string(name) + "\" is a name Windows keeps for a device (" + device +
               "), not for a file; choose another name";
    }
    if (!longPaths && length > kWindowsMaxPath) {
        return "\"" + std::string(name) + "\" needs a path of " + std::to_string(length) +
               " characters, and Windows takes at most " + std::to_string(kWindowsMaxPath) +
               " unless long paths are turned on (\"Enable Win32 long paths\" in Group Policy, "
               "or LongPathsEnabled in the registry); choose a shorter path";
    }
    return std::nullopt;
}

std::optional<std::string> unusableFileName(std::string_view name, bool stream, std::size_t extra) {
#ifdef _WIN32
    return windowsNameProblem(name, fullLength(utf16(name)) + extra, longPathsEnabled(), stream);
#else
    static_cast<void>(name);
    static_cast<void>(stream);
    static_cast<void>(extra);
    return std::nullopt;
#endif
}

} // namespace sheetfind
