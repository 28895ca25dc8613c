// SPDX-License-Identifier: MIT
#include "gdal_errors.h"

#include <cpl_error.h>
#include <gdal_priv.h>

#include <mutex>

namespace sheetfind::gis {

void registerDrivers() {
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
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
