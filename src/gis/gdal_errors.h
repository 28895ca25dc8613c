// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace sheetfind::gis {

// While it lives, GDAL's messages on this thread come here instead of standard
// error: every failure is kept, the last one for the report of whatever failed, and
// every warning goes to `warn` (or is dropped without one). GDAL reports some
// failures only through its handler (a text driver that cannot flush at close), so a
// writer asks take() after each step that can fail. Guards nest: the innermost one
// hears.
class GdalErrors {
public:
    using Warn = std::function<void(std::string_view message)>;

    explicit GdalErrors(Warn warn = {});
    ~GdalErrors();
    GdalErrors(const GdalErrors&) = delete;
    GdalErrors& operator=(const GdalErrors&) = delete;

    // The last failure since the previous call, or `fallback` when GDAL said nothing;
    // forgets it.
    std::string take(std::string_view fallback);

private:
    static void handle(int level, int number, const char* message);

    Warn m_warn;
    std::string m_last;
};

// Registers GDAL's drivers once per process, after telling its PROJ where the
// program's data is (projDataFolders). Every use of GDAL starts here.
void registerDrivers();

} // namespace sheetfind::gis
