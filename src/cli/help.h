// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string_view>

namespace sheetfind::cli {

// The help of the tool: what `sheetfind-cli --help` prints.
std::string_view overviewHelp();

// The help of one subcommand, or nullopt for a name that is not one.
std::optional<std::string_view> commandHelp(std::string_view command);

} // namespace sheetfind::cli
