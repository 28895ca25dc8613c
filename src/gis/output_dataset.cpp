// SPDX-License-Identifier: MIT
#include "output_dataset.h"

#include "drivers.h"
#include "file_path.h"

#include <cpl_vsi.h>
#include <gdal_priv.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <utility>

namespace sheetfind::gis {
namespace {

// The watch: a GDAL file system that passes everything to the real files, and keeps
// the first write, flush or close that failed.
constexpr const char* kWatchPrefix = "/vsisheetfind/";

std::mutex g_failureLock;
std::string g_failure; // the first failed write since the last takeWriteFailure()

void failed(int error) {
    const std::lock_guard lock(g_failureLock);
    if (g_failure.empty()) {
        g_failure = error != 0 ? std::strerror(error) : "a write was cut short";
    }
}

std::string takeWriteFailure() {
    const std::lock_guard lock(g_failureLock);
    return std::exchange(g_failure, {});
}

// A device or a pipe is named to GDAL with this after it and the format's extension,
// which some drivers read the kind of file from (CSV makes a folder of a name without
// ".csv"); the callbacks take it off again.
constexpr std::string_view kStreamSuffix = ".sheetfind-stream";

// The callbacks get the name without the prefix. The watched names are absolute: on
// Windows they start with their drive, on POSIX with the slash the prefix took.
std::string realPath(const char* name) {
#ifdef _WIN32
    std::string real = name;
#else
    std::string real = std::string("/") + name;
#endif
    if (const std::size_t suffix = real.rfind(kStreamSuffix); suffix != std::string::npos) {
        real.resize(suffix);
    }
    return real;
}

struct WatchedFile {
    VSILFILE* file;
};

WatchedFile& watched(void* file) {
    return *static_cast<WatchedFile*>(file);
}

void installWatch() {
    static std::once_flag once;
    std::call_once(once, [] {
        VSIFilesystemPluginCallbacksStruct* calls = VSIAllocFilesystemPluginCallbacksStruct();
        calls->stat = [](void*, const char* name, VSIStatBufL* stat, int flags) {
            // A device or a pipe to write to is new to the driver, which refuses to
            // write over anything that exists.
            const std::string real = realPath(name);
            return isStream(real) ? -1 : VSIStatExL(real.c_str(), stat, flags);
        };
        // A device or a pipe is written, never read back (which would wait for a
        // writer) nor removed.
        calls->unlink = [](void*, const char* name) {
            const std::string real = realPath(name);
            return isStream(real) ? -1 : VSIUnlink(real.c_str());
        };
        calls->rename = [](void*, const char* from, const char* to) {
            return VSIRename(realPath(from).c_str(), realPath(to).c_str());
        };
        calls->mkdir = [](void*, const char* name, long mode) {
            return VSIMkdir(realPath(name).c_str(), mode);
        };
        calls->rmdir = [](void*, const char* name) { return VSIRmdir(realPath(name).c_str()); };
        calls->read_dir = [](void*, const char* name, int most) {
            return VSIReadDirEx(realPath(name).c_str(), most);
        };
        calls->open = [](void*, const char* name, const char* access) -> void* {
            const std::string real = realPath(name);
            const std::string_view mode(access);
            if (mode.find_first_of("wa+") == std::string_view::npos && isStream(real)) {
                return nullptr;
            }
            // A pipe opened to read as well as write would be its own reader: it would
            // never see its reader leave, and without one its bytes would go nowhere.
            const bool stream =
                mode.find_first_of("wa") != std::string_view::npos && isStream(real);
            VSILFILE* file = VSIFOpenExL(real.c_str(), stream ? "wb" : access, TRUE);
            if (file == nullptr) {
                return nullptr;
            }
            return new WatchedFile{file};
        };
        calls->tell = [](void* file) { return VSIFTellL(watched(file).file); };
        calls->seek = [](void* file, vsi_l_offset offset, int whence) {
            return VSIFSeekL(watched(file).file, offset, whence);
        };
        calls->read = [](void* file, void* buffer, std::size_t size, std::size_t count) {
            return VSIFReadL(buffer, size, count, watched(file).file);
        };
        calls->eof = [](void* file) { return VSIFEofL(watched(file).file); };
        calls->write = [](void* file, const void* buffer, std::size_t size, std::size_t count) {
            errno = 0;
            const std::size_t wrote = VSIFWriteL(buffer, size, count, watched(file).file);
            if (wrote < count) {
                failed(errno);
            }
            return wrote;
        };
        calls->flush = [](void* file) {
            errno = 0;
            const int status = VSIFFlushL(watched(file).file);
            if (status != 0) {
                failed(errno);
            }
            return status;
        };
        calls->truncate = [](void* file, vsi_l_offset size) {
            errno = 0;
            const int status = VSIFTruncateL(watched(file).file, size);
            if (status != 0) {
                failed(errno);
            }
            return status;
        };
        calls->close = [](void* file) {
            const WatchedFile* closing = &watched(file);
            errno = 0;
            const int status = VSIFCloseL(closing->file);
            if (status != 0) {
                failed(errno);
            }
            delete closing;
            return status;
        };
        // Writers read back what they wrote: no cache between them and the file.
        calls->nBufferSize = 0;
        calls->nCacheSize = 0;
        VSIInstallPluginHandler(kWatchPrefix, calls);
        VSIFreeFilesystemPluginCallbacksStruct(calls);
    });
}

// The name GDAL writes `path` by, through the watch; a stream's carries the extension
// of the driver's files.
std::string watchedPath(const std::string& path, GDALDriver& driver) {
    std::error_code ignored;
    std::string absolute = pathText(std::filesystem::absolute(filePath(path), ignored));
    if (isStream(path)) {
        const char* extensions = driver.GetMetadataItem(GDAL_DMD_EXTENSIONS);
        const std::string extension =
            extensions != nullptr
                ? std::string(extensions).substr(0, std::string(extensions).find(' '))
                : std::string();
        absolute += std::string(kStreamSuffix) + (extension.empty() ? "" : "." + extension);
    }
#ifdef _WIN32
    return std::string(kWatchPrefix) + absolute;
#else
    return std::string(kWatchPrefix) + absolute.substr(absolute.starts_with('/') ? 1 : 0);
#endif
}

} // namespace

std::variant<OutputDataset, Stop> OutputDataset::create(GDALDriver& driver,
                                                        const std::string& destination,
                                                        CSLConstList options, GdalErrors& errors) {
    auto staged = OutputFile::stage(destination);
    if (auto* refused = std::get_if<std::string>(&staged)) {
        return Stop::io(std::move(*refused));
    }
    OutputFile file = std::move(std::get<OutputFile>(staged));
    // SQLite does its own I/O and reports every failed write; through a GDAL file
    // system it would lose its own journal's guarantees (and GDAL 3.6 mislays the
    // tables it creates there).
    const bool ownIo = isDriver(driver, "GPKG") || isDriver(driver, "SQLite");
    if (isStream(destination) && ownIo) {
        return Stop::usage("a " + std::string(driver.GetDescription()) +
                           " database is not written to a device or a pipe such as \"" +
                           destination +
                           "\"; choose a format written in one pass, such as --of "
                           "GeoJSON, GeoJSONSeq or CSV");
    }
    if (!ownIo) {
        installWatch();
    }
    takeWriteFailure();
    GDALDataset* dataset =
        driver.Create((ownIo ? file.path() : watchedPath(file.path(), driver)).c_str(), 0, 0, 0,
                      GDT_Unknown, options);
    if (dataset == nullptr) {
        return Stop::io("cannot create \"" + destination +
                        "\": " + errors.take("the driver refused it"));
    }
    return OutputDataset(std::move(file), dataset);
}

OutputDataset::OutputDataset(OutputFile file, GDALDataset* dataset)
    : m_file(std::move(file)), m_dataset(dataset) {}

OutputDataset::OutputDataset(OutputDataset&& other) noexcept
    : m_file(std::move(other.m_file)), m_dataset(std::exchange(other.m_dataset, nullptr)) {}

OutputDataset::~OutputDataset() {
    close();
    m_file.discard();
}

void OutputDataset::close() {
    if (m_dataset != nullptr) {
        GDALClose(m_dataset);
        m_dataset = nullptr;
    }
}

std::string OutputDataset::failure(GdalErrors& errors, std::string_view fallback) {
    const std::string written = takeWriteFailure();
    return errors.take(written.empty() ? fallback : written);
}

std::optional<Stop> OutputDataset::finish(GdalErrors& errors) {
    errors.take({});
    close();
    std::string failure = takeWriteFailure();
    if (failure.empty()) {
        // GDAL 3.6 reports some failures to close (a footer or an index it cannot
        // write) only through its error handler.
        failure = errors.take({});
    }
    if (!failure.empty()) {
        m_file.discard();
        return Stop::io("cannot write \"" + destination() + "\": " + failure);
    }
    if (std::string refused = m_file.commit(); !refused.empty()) {
        return Stop::io(std::move(refused));
    }
    return std::nullopt;
}

} // namespace sheetfind::gis
