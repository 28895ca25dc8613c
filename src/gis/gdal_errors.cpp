// SPDX-License-Identifier: MIT
#include "gdal_errors.h"

#include "datum.h"

#include <cpl_error.h>
#include <gdal_priv.h>
#include <ogr_srs_api.h>

#include <mutex>
#include <vector>

namespace sheetfind::gis {

void registerDrivers() {
    static std::once_flag once;
    std::call_once(once, [] {
        // GDAL's PROJ contexts look where the program's own do.
        const std::vector<std::string> folders = projDataFolders();
        if (!folders.empty()) {
            CPLStringList paths;
            for (const std::string& folder : folders) {
                paths.AddString(folder.c_str());
            }
            OSRSetPROJSearchPaths(paths.List());
        }
        OSRSetPROJEnableNetwork(projNetworkAsked() ? TRUE : FALSE);
        GDALAllRegister();
    });
}

GdalErrors::GdalErrors(Warn warn) : m_warn(std::move(warn)) {
    CPLPushErrorHandlerEx(
        [](CPLErr level, CPLErrorNum number, const char* message) {
            handle(static_cast<int>(level), number, message);
        },
        this);
}

GdalErrors::~GdalErrors() {
    CPLPopErrorHandler();
}

void GdalErrors::handle(int level, int, const char* message) {
    auto* self = static_cast<GdalErrors*>(CPLGetErrorHandlerUserData());
    if (self == nullptr || message == nullptr) {
        return;
    }
    if (level >= CE_Failure) {
        self->m_last = message;
    } else if (level == CE_Warning && self->m_warn) {
        self->m_warn(message);
    }
}

std::string GdalErrors::take(std::string_view fallback) {
    std::string message = m_last.empty() ? std::string(fallback) : m_last;
    m_last.clear();
    return message;
}

} // namespace sheetfind::gis
