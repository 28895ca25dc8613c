// SPDX-License-Identifier: MIT
// The GIS part of sheetfind-cli, built as the module the tool loads on demand: it
// turns the options into the GIS library's requests and its answers into the tool's
// output and exit status.
#include "gis_commands.h"

#include "layer_annotation.h"
#include "layer_geometry.h"
#include "output_file.h"
#ifdef SHEETFIND_WITH_SERVER
#include "server.h"
#include "stop_signals.h"
#endif

#include <charconv>
#include <string>

namespace sheetfind::cli {
namespace {

// What to do about a failure, in this tool's options.
std::string advice(gis::Advice advice) {
    switch (advice) {
    case gis::Advice::None:
        break;
    case gis::Advice::AssumeCrs:
        return "; give it with --assume-crs, such as --assume-crs EPSG:3005";
    case gis::Advice::ChooseLayer:
        return "; choose one with -l";
    case gis::Advice::NameColumn:
        return std::string(Session::advice(TableAdvice::NameColumn));
    case gis::Advice::ChooseDriver:
        return "; choose a GDAL driver with --of";
    }
    return {};
}

std::string described(const gis::GisFailure& failure) {
    return gis::describe(failure) + advice(gis::adviceFor(failure));
}

// Reports why the request stopped; returns the exit status.
int stopped(Context& context, const gis::Stop& stop) {
    switch (stop.kind) {
    case gis::Stop::Kind::Usage:
        return context.session.usageError(stop.message + advice(stop.advice), context.command);
    case gis::Stop::Kind::Input:
        context.session.reportFailure(stop.message + advice(stop.advice));
        return context.session.finish();
    case gis::Stop::Kind::Io:
        break;
    }
    context.session.diagnose(stop.message);
    context.session.finish();
    return kUsageOrIo;
}

gis::FeatureReport featureReport(Session& session) {
    return
        [&session](std::string_view layer, std::int64_t feature, const gis::GisFailure& failure) {
            session.reportFailure(gis::describeFeature(layer, feature) + ": " + described(failure));
        };
}

gis::GdalErrors::Warn warnings(Session& session) {
    return
        [&session](std::string_view message) { session.diagnose("GDAL: " + std::string(message)); };
}

gis::SourceLayers sourceLayers(Context& context, std::string_view source, sheetref::Scale scale) {
    const Arguments& args = context.args;
    gis::SourceLayers from{.source = std::string(source),
                           .assumeCrs = std::string(args.value("assume-crs").value_or("")),
                           .scale = scale,
                           .geodesic = args.has("geodesic")};
    if (const auto layer = args.value("layer")) {
        from.layer = std::string(*layer);
    }
    return from;
}

// A geometry's datum is its CRS's: --datum is for points and boxes given as numbers.
int refuseDatum(Context& context) {
    return context.session.usageError(
        "a GIS layer's or a WKT geometry's datum is its CRS's, not --datum; where it has none "
        "give --assume-crs, such as --assume-crs EPSG:4267 for NAD27",
        context.command);
}

int annotateLayer(Context& context) {
    const auto scale = scaleOption(context);
    if (!scale) {
        return kUsageOrIo;
    }
    const auto& operands = context.args.operands;
    if (context.args.has("datum")) {
        return refuseDatum(context);
    }
    const auto output = context.args.value("output");
    if (!output) {
        return context.session.usageError(
            "annotate of a GIS layer writes a new layer and needs -o FILE, such as -o "
            "survey-nts.gpkg",
            context.command);
    }
    const gis::LayerAnnotation annotation{
        .from = sourceLayers(context, operands.at(0), *scale),
        .output = std::string(*output),
        .driver = std::string(context.args.value("of").value_or("")),
        .column = std::string(context.args.value("column").value_or("")),
        .explode = context.args.has("explode"),
        .flagUncertain = context.args.has("flag-uncertain")};
    const auto stop =
        gis::annotateLayer(annotation, featureReport(context.session), warnings(context.session));
    return stop ? stopped(context, *stop) : context.session.finish();
}

int coverGeometry(Context& context) {
    const auto scale = scaleOption(context);
    if (!scale) {
        return kUsageOrIo;
    }
    if (context.args.has("datum")) {
        return refuseDatum(context);
    }
    const auto& operands = context.args.operands;
    const auto wkt = context.args.value("wkt");
    if (wkt ? !operands.empty() : operands.size() != 1) {
        return context.session.usageError("cover expects one FILE, or --wkt WKT alone",
                                          context.command);
    }
    if (wkt) {
        auto geometry =
            gis::LayerGeometry::from(std::string_view(), *scale, context.args.has("geodesic"));
        if (const auto* failure = std::get_if<gis::GisFailure>(&geometry)) {
            return stopped(context, gis::Stop::io(described(*failure)));
        }
        auto cells = std::get<gis::LayerGeometry>(geometry).cellsOfWkt(*wkt);
        if (const auto* failure = std::get_if<gis::GisFailure>(&cells)) {
            context.session.reportFailure(described(*failure));
            return context.session.finish();
        }
        return writeCells(context, std::get<std::vector<sheetref::Reference>>(cells));
    }
    auto cells = gis::coverSource(sourceLayers(context, operands[0], *scale),
                                  featureReport(context.session), warnings(context.session));
    if (const auto* stop = std::get_if<gis::Stop>(&cells)) {
        return stopped(context, *stop);
    }
    return writeCells(context, std::get<std::vector<sheetref::Reference>>(cells));
}

std::unique_ptr<gis::CellSink> openCells(Context& context, const gis::CellTarget& target) {
    auto opened = gis::openCellLayer(target, context.session.out());
    if (auto* stop = std::get_if<gis::Stop>(&opened)) {
        if (stop->kind == gis::Stop::Kind::Usage) {
            context.session.usageError(stop->message + advice(stop->advice), context.command);
        } else {
            context.session.diagnose(stop->message);
        }
        return nullptr;
    }
    return std::move(std::get<std::unique_ptr<gis::CellSink>>(opened));
}

#ifndef SHEETFIND_WITH_SERVER
// The web face's transport runs on Linux only, for now.
int serve(Context& context) {
    context.session.diagnose("serve, the web face, is not in this build of sheetfind-cli: it "
                             "runs on Linux for now; every other subcommand is here");
    context.session.finish();
    return kUsageOrIo;
}
#else
int serve(Context& context) {
    server::ServeSettings settings;
    if (const auto bind = context.args.value("bind")) {
        settings.bind = std::string(*bind);
        if (const auto problem = server::checkBindAddress(settings.bind)) {
            return context.session.usageError(*problem, context.command);
        }
    }
    if (const auto port = context.args.value("port")) {
        int value = -1;
        const auto [end, error] = std::from_chars(port->data(), port->data() + port->size(), value);
        if (error != std::errc() || end != port->data() + port->size() ||
            !(0 <= value && value <= 65535)) {
            return context.session.usageError("--port \"" + std::string(*port) +
                                                  "\" is not a port; expected 0 to 65535",
                                              context.command);
        }
        settings.port = value;
    }
    if (const auto tiles = context.args.value("tiles")) {
        settings.tiles = std::string(*tiles);
        if (const auto problem = server::checkTilesTemplate(settings.tiles)) {
            return context.session.usageError(*problem, context.command);
        }
    }

    server::StopSignals signals;
    server::HttpServer http(settings);
    if (const auto failure = http.bind()) {
        context.session.diagnose(*failure);
        return kUsageOrIo;
    }
    context.session.out().append("Sheetfind serving on " + http.url() + "\n");
    context.session.out().flush();
    signals.runUntilSignalled([&http] { http.run(); }, [&http] { http.stop(); });
    return context.session.finish();
}
#endif

constexpr GisModule kModule{.annotateLayer = annotateLayer,
                            .coverGeometry = coverGeometry,
                            .openCells = openCells,
                            .serve = serve};

} // namespace
} // namespace sheetfind::cli

extern "C" const sheetfind::cli::GisModule* sheetfind_cli_gis_module() {
    // The module's own copy of the tool's code writes cells through it too.
    sheetfind::cli::useGisModule(&sheetfind::cli::kModule);
    // And its own copy of the output rule stages the layers it writes.
    sheetfind::discardStagedFilesOnSignals();
    return &sheetfind::cli::kModule;
}
