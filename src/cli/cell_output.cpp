// SPDX-License-Identifier: MIT
#include "commands.h"

#include "grid.h"
#include "number_reader.h"
#include "point_reader.h"

#include <array>
#include <string>

namespace sheetfind::cli {
namespace {

// The whole grid: every box beyond it covers the same cells.
constexpr sheetref::Bounds kWholeWorld{.south = -90, .north = 90, .west = -180, .east = 180};

} // namespace

int grid(Context& context) {
    const auto scale = scaleOption(context);
    if (!scale) {
        return kUsageOrIo;
    }
    if (!context.args.operands.empty()) {
        return context.session.usageError("grid takes no arguments; give a box with --bbox "
                                          "SOUTH WEST NORTH EAST",
                                          context.command);
    }
    sheetref::Bounds box = kWholeWorld;
    if (context.args.has("bbox")) {
        const std::vector<std::string_view> values = context.args.valuesOf("bbox");
        const NumberReader numbers;
        constexpr std::array kEdges{Field::South, Field::West, Field::North, Field::East};
        std::array<double, kEdges.size()> edges{};
        for (std::size_t i = 0; i < kEdges.size() && i < values.size(); ++i) {
            auto edge = readEdge(numbers, values[i], kEdges[i]);
            if (const auto* failure = std::get_if<InputFailure>(&edge)) {
                context.session.reportFailure(*failure);
                return context.session.finish();
            }
            edges[i] = std::get<double>(edge);
        }
        box = {.south = edges[0], .north = edges[2], .west = edges[1], .east = edges[3]};
    }
    const bool given = context.args.has("bbox");
    if (const auto failure = sheetref::checkBox(box)) {
        std::string text;
        for (const std::string_view value : context.args.valuesOf("bbox")) {
            text += text.empty() ? "" : " ";
            text += value;
        }
        context.session.reportFailure(InputFailure{.error = InputError::BadBox,
                                                   .field = Field::South,
                                                   .text = text,
                                                   .detail = sheetref::describe(*failure)});
        return context.session.finish();
    }
    if (given) {
        const auto inGrid = boxInGridDatum(context, box, *scale);
        if (!inGrid) {
            return context.session.finish();
        }
        box = *inGrid;
    } else if (context.args.has("datum")) {
        return context.session.usageError("--datum is the datum of --bbox: give it with one",
                                          context.command);
    }
    return writeCells(context,
                      [&](const CellVisitor& visit) { sheetref::coverEach(box, *scale, visit); });
}

} // namespace sheetfind::cli
