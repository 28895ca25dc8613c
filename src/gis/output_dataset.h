// SPDX-License-Identifier: MIT
#pragma once

#include "gdal_errors.h"
#include "gis_error.h"
#include "output_file.h"

#include <cpl_port.h>

#include <optional>
#include <string>
#include <string_view>
#include <variant>

class GDALDataset;
class GDALDriver;

namespace sheetfind::gis {

// A dataset that GDAL writes under the one output rule (OutputFile): staged beside
// its destination, moved into place only once closed with every byte written, and
// never over a file that exists.
//
// Every byte GDAL writes for it goes through a watch of its own. GDAL 3.6's text
// drivers (GeoJSON, KML, GML) drop the status of their writes, so on a full disk
// they would close a cut-off file without a word; here the first failed write is
// kept and the dataset is not moved into place.
class OutputDataset {
public:
    // Refused when the destination exists or the driver cannot create it.
    static std::variant<OutputDataset, Stop> create(GDALDriver& driver,
                                                    const std::string& destination,
                                                    CSLConstList options, GdalErrors& errors);

    OutputDataset(OutputDataset&& other) noexcept;
    OutputDataset& operator=(OutputDataset&&) = delete;
    ~OutputDataset(); // closes and discards a dataset that was not finished

    GDALDataset& operator*() const { return *m_dataset; }
    GDALDataset* operator->() const { return m_dataset; }
    const std::string& destination() const { return m_file.destination(); }

    // Why the last step failed: what GDAL reported, else the failed write it did not
    // report, else `fallback`.
    static std::string failure(GdalErrors& errors, std::string_view fallback);

    // Closes the dataset and moves it into place: nullopt, or why it was not written
    // (a failed write, or what GDAL reported while closing), in which case nothing
    // is left.
    std::optional<Stop> finish(GdalErrors& errors);

private:
    OutputDataset(OutputFile file, GDALDataset* dataset);
    void close();

    OutputFile m_file;
    GDALDataset* m_dataset;
};

} // namespace sheetfind::gis
