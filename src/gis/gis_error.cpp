// SPDX-License-Identifier: MIT
#include "gis_error.h"

#include "quote.h"

namespace sheetfind::gis {

using sheetref::printableText;
using sheetref::quoteText;

std::string describe(const GisFailure& failure) {
    const std::string because =
        failure.detail.empty() ? "" : " (" + printableText(failure.detail) + ")";
    switch (failure.error) {
    case GisError::NoCrs:
        return "the layer " + quoteText(failure.text) + " has no coordinate reference system";
    case GisError::BadCrs:
        return "cannot read " + quoteText(failure.text) +
               " as a coordinate reference system; expected such as EPSG:3005";
    case GisError::NotWkt:
        return "the geometry " + quoteText(failure.text) + " is not WKT" + because +
               "; expected such as LINESTRING(-123.95 49.3, -122.35 49.62), longitude first";
    case GisError::NotWkb:
        return "the geometry is not WKB" + because;
    case GisError::NotTransformable:
        return "the geometry cannot be transformed to longitude and latitude" + because;
    case GisError::BadGeometry:
        return "the geometry is not in degrees" + because;
    case GisError::UnreadableGeometry:
        return "the geometry cannot be read" + because;
    case GisError::LostByFormat:
        return "the layer " + quoteText(failure.text) + " cannot be written in this format" +
               because + "; write a GeoPackage (.gpkg) instead";
    }
    return "the geometry is not valid";
}

Advice adviceFor(const GisFailure& failure) {
    return failure.error == GisError::NoCrs ? Advice::AssumeCrs : Advice::None;
}

} // namespace sheetfind::gis
