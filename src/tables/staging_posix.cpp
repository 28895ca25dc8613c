// SPDX-License-Identifier: MIT
// The output files' staging on POSIX systems: folders made with mkdtemp, placed with
// an exclusive rename, and removed by the signal handler with async-signal-safe calls.
#include "staging.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>
#include <utility>

namespace sheetfind::staging {
namespace {

// The staging folders open at any moment, for the signal handler: fixed storage,
// because a handler may not allocate. A process writes one or two files at a time.
constexpr std::size_t kMaxStaged = 8;
struct StagedSlot {
    volatile std::sig_atomic_t used = 0;
    std::array<char, PATH_MAX> folder{};
};
std::array<StagedSlot, kMaxStaged> g_staged;

constexpr std::array kCleanupSignals{SIGINT, SIGTERM, SIGHUP};

// Blocks the cleanup signals while the table of staging folders changes.
class SignalsHeld {
public:
    SignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (const int signal : kCleanupSignals) {
            sigaddset(&held, signal);
        }
        pthread_sigmask(SIG_BLOCK, &held, &m_previous);
    }
    ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &m_previous, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t m_previous;
};

void remember(const std::string& folder) {
    const SignalsHeld held;
    for (StagedSlot& slot : g_staged) {
        if (slot.used == 0 && folder.size() < slot.folder.size()) {
            std::copy(folder.begin(), folder.end(), slot.folder.begin());
            slot.folder[folder.size()] = '\0';
            slot.used = 1;
            return;
        }
    }
}

void forget(const std::string& folder) {
    const SignalsHeld held;
    for (StagedSlot& slot : g_staged) {
        if (slot.used != 0 && folder == slot.folder.data()) {
            slot.used = 0;
            return;
        }
    }
}

// Removes a staging folder with async-signal-safe calls only: its entries, one
// level of subfolders (a format that writes a folder), then itself.
void removeFolderNow(int parent, const char* name, int depth) {
    const int folder = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
    if (folder < 0) {
        return;
    }
    // Entries removed while the folder is listed may hide others: list it again
    // until a pass removes nothing.
    for (bool removed = true; removed;) {
        removed = false;
        ::lseek(folder, 0, SEEK_SET);
        alignas(dirent64) char buffer[4096];
        for (;;) {
            const ssize_t got = ::getdents64(folder, buffer, sizeof buffer);
            if (got <= 0) {
                break;
            }
            for (ssize_t at = 0; at < got;) {
                const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
                at += entry->d_reclen;
                const char* entryName = entry->d_name;
                if (std::strcmp(entryName, ".") == 0 || std::strcmp(entryName, "..") == 0) {
                    continue;
                }
                if (::unlinkat(folder, entryName, 0) == 0) {
                    removed = true;
                } else if (depth > 0) {
                    removeFolderNow(folder, entryName, depth - 1);
                    removed = ::unlinkat(folder, entryName, AT_REMOVEDIR) == 0 || removed;
                }
            }
        }
    }
    ::close(folder);
}

// What handled each signal before: a program and a module it loads may each hold
// their own table, and each handler passes the signal on to the one before it.
std::array<struct sigaction, kCleanupSignals.size()> g_previous{};

extern "C" void discardOnSignal(int signal) {
    const int saved = errno;
    for (StagedSlot& slot : g_staged) {
        if (slot.used != 0) {
            removeFolderNow(AT_FDCWD, slot.folder.data(), 1);
            ::rmdir(slot.folder.data());
        }
    }
    errno = saved;
    for (std::size_t i = 0; i < kCleanupSignals.size(); ++i) {
        const auto before = g_previous[i].sa_handler;
        if (kCleanupSignals[i] == signal && before != SIG_DFL && before != SIG_IGN) {
            before(signal);
            return;
        }
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

bool sameFile(int fd, const struct stat& named) {
    struct stat opened {};
    return ::fstat(fd, &opened) == 0 && opened.st_dev == named.st_dev &&
           opened.st_ino == named.st_ino;
}

// Moves `from` to `to` unless `to` exists; errno tells why not.
bool renameNew(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
        return false;
    }
    // A file system without an atomic exclusive rename: a hard link refuses an
    // existing name just as well.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    if (errno == EEXIST) {
        return false;
    }
    struct stat existing {};
    if (::lstat(to.c_str(), &existing) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

} // namespace

bool isStream(const std::string& name) {
    struct stat target {};
    return ::stat(name.c_str(), &target) == 0 &&
           (S_ISCHR(target.st_mode) || S_ISFIFO(target.st_mode) || S_ISSOCK(target.st_mode));
}

Existing existing(const std::string& name, std::span<const int> sources) {
    struct stat found {};
    if (::lstat(name.c_str(), &found) != 0) {
        return Existing::None;
    }
    struct stat target {};
    const bool isSource =
        ::stat(name.c_str(), &target) == 0 &&
        std::any_of(sources.begin(), sources.end(), [&](int fd) { return sameFile(fd, target); });
    return isSource ? Existing::Source : Existing::File;
}

std::variant<std::string, std::error_code> makeFolder(const std::string& parent,
                                                      const std::string& name) {
    std::string folder = parent + "/." + name + ".sheetfind-XXXXXX";
    const SignalsHeld held; // the folder is in the table before a signal can miss it
    if (::mkdtemp(folder.data()) == nullptr) {
        return std::error_code(errno, std::generic_category());
    }
    remember(folder);
    return folder;
}

void forgetFolder(const std::string& folder, bool remove) {
    if (remove) {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    } else {
        ::rmdir(folder.c_str());
    }
    forget(folder);
}

std::error_code sync(const std::string& name) {
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return {errno, std::generic_category()};
    }
    const int error = ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
    ::close(fd);
    return error == 0 ? std::error_code() : std::error_code(error, std::generic_category());
}

std::error_code placeNew(const std::string& from, const std::string& to) {
    if (renameNew(from, to)) {
        return {};
    }
    return {errno, std::generic_category()};
}

void putBack(const std::string& placed, const std::string& staged) {
    ::rename(placed.c_str(), staged.c_str());
}

void installCleanup() {
    static bool installed = false;
    if (std::exchange(installed, true)) {
        return;
    }
    struct sigaction action {};
    action.sa_handler = discardOnSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : kCleanupSignals) {
        sigaddset(&action.sa_mask, signal);
    }
    for (std::size_t i = 0; i < kCleanupSignals.size(); ++i) {
        struct sigaction& previous = g_previous[i];
        // A signal ignored when the program started (nohup) stays ignored.
        if (::sigaction(kCleanupSignals[i], nullptr, &previous) == 0 &&
            previous.sa_handler != SIG_IGN) {
            ::sigaction(kCleanupSignals[i], &action, nullptr);
        }
    }
}

} // namespace sheetfind::staging
