// SPDX-License-Identifier: MIT
#pragma once

// Reads a layer that sheetfind-cli wrote back through GDAL, as a GIS tool would.

#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

struct ReadFeature {
    std::string reference;
    std::string scale;
    double south = 0, west = 0, north = 0, east = 0;
    std::vector<std::pair<double, double>> ring; // the outer ring, x then y
    int rings = 0;
};

struct ReadLayer {
    bool opened = false;
    std::vector<std::pair<std::string, OGRFieldType>> fields;
    std::vector<ReadFeature> features;
    bool wgs84 = false; // the layer's CRS is EPSG:4326
    int epsg = 0;       // the EPSG code of the layer's CRS, 0 without one
    OGRwkbGeometryType geometry = wkbUnknown;
};

inline ReadLayer readLayer(const std::string& path) {
    static const bool registered = [] {
        GDALAllRegister();
        return true;
    }();
    static_cast<void>(registered);
    ReadLayer read;
    std::unique_ptr<GDALDataset> dataset(
        GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
    if (!dataset || dataset->GetLayerCount() != 1) {
        return read;
    }
    read.opened = true;
    OGRLayer* layer = dataset->GetLayer(0);
    OGRFeatureDefn* definition = layer->GetLayerDefn();
    read.geometry = wkbFlatten(layer->GetGeomType());
    for (int i = 0; i < definition->GetFieldCount(); ++i) {
        read.fields.emplace_back(definition->GetFieldDefn(i)->GetNameRef(),
                                 definition->GetFieldDefn(i)->GetType());
    }
    if (const OGRSpatialReference* srs = layer->GetSpatialRef()) {
        const char* authority = srs->GetAuthorityName(nullptr);
        const char* code = srs->GetAuthorityCode(nullptr);
        read.wgs84 = authority != nullptr && code != nullptr && std::string(authority) == "EPSG" &&
                     std::string(code) == "4326";
        read.epsg = read.wgs84 ? 4326 : srs->GetEPSGGeogCS();
    }
    for (auto& feature : *layer) {
        ReadFeature cell;
        cell.reference = feature->GetFieldAsString("reference");
        cell.scale = feature->GetFieldAsString("scale");
        cell.south = feature->GetFieldAsDouble("south");
        cell.west = feature->GetFieldAsDouble("west");
        cell.north = feature->GetFieldAsDouble("north");
        cell.east = feature->GetFieldAsDouble("east");
        if (const OGRGeometry* geometry = feature->GetGeometryRef();
            geometry != nullptr && wkbFlatten(geometry->getGeometryType()) == wkbPolygon) {
            const OGRPolygon* polygon = geometry->toPolygon();
            cell.rings = 1 + polygon->getNumInteriorRings();
            const OGRLinearRing* outer = polygon->getExteriorRing();
            for (int i = 0; i < outer->getNumPoints(); ++i) {
                cell.ring.emplace_back(outer->getX(i), outer->getY(i));
            }
        }
        read.features.push_back(std::move(cell));
    }
    return read;
}

// Twice the signed area by the shoelace formula: positive when counter-clockwise.
inline double twiceSignedArea(const std::vector<std::pair<double, double>>& ring) {
    double twice = 0;
    for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
        twice += ring[i].first * ring[i + 1].second - ring[i + 1].first * ring[i].second;
    }
    return twice;
}

// A file holding `text`, for GDAL to read what came on standard output.
inline std::string writtenFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
    return path;
}
