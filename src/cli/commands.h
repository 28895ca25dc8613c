// SPDX-License-Identifier: MIT
#pragma once

#include "datum.h"
#include "options.h"
#include "reference.h"
#include "session.h"
#include "streams.h"

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sheetfind::cli {

// What a subcommand works with: its parsed arguments, the input, and the session
// that owns the output and the exit status.
struct Context {
    std::string_view command;
    const Arguments& args;
    ByteSource& in;
    Session& session;
};

// A subcommand: its name, the options it takes and what it does; returns the exit
// status.
struct Command {
    std::string_view name;
    std::span<const KnownOption> options;
    int (*run)(Context& context);
    bool alias = false; // another name for the command before it, never suggested
};

// Every subcommand, aliases included ("neighbors").
std::span<const Command> commands();

// The scale of -s, --scale (the sheet when absent), or nullopt after a usage error.
std::optional<sheetref::Scale> scaleOption(Context& context);

// The datum of --datum (NAD83 when absent), or nullopt after a usage error.
std::optional<Datum> datumOption(Context& context);

// `box`, given in the datum of --datum, as a box of the grid's datum at `scale` (the
// shift used told once on standard error); nullopt after an error already reported.
std::optional<sheetref::Bounds> boxInGridDatum(Context& context, const sheetref::Bounds& box,
                                               sheetref::Scale scale);

// Cells handed one at a time to a visitor, which returns false to stop: a cover of
// BC's 1:2 500 sheets (752 512 of them) is written without being held.
using CellVisitor = std::function<bool(const sheetref::Reference&)>;
using CellWalk = std::function<void(const CellVisitor&)>;

// Writes cells as the cell subcommands do, in the format and to the output their
// options choose (-f, -o, --of, --densify); returns the exit status. Each cell comes
// once from `cells`, in flat memory however many.
int writeCells(Context& context, const CellWalk& cells);
int writeCells(Context& context, const std::vector<sheetref::Reference>& cells);

// annotate SOURCE: every record of a CSV table or a GIS layer with its sheet added.
int annotate(Context& context);

// grid: every cell of a scale, optionally inside --bbox, as text or a layer.
int grid(Context& context);

// serve: the grid over HTTP until SIGINT or SIGTERM.
int serve(Context& context);

// The bare form: what the window answers, for two arguments or for each line of
// standard input. Decimal degrees in the locale only, the window's messages, and no
// range check: a number is a point, even one that no sheet covers.
int answerBare(std::span<const std::string_view> operands, ByteSource& in, Session& session);

} // namespace sheetfind::cli
