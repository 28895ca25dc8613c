// SPDX-License-Identifier: MIT
#include "options.h"

#include <algorithm>
#include <string>

namespace sheetfind::cli {
namespace {

// "-123.1" and "-.5" are west longitudes and south latitudes, not options.
bool isOption(std::string_view arg) {
    return arg.size() > 1 && arg[0] == '-' && !('0' <= arg[1] && arg[1] <= '9') && arg[1] != '.';
}

std::size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] =
                std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string quotedName(std::string_view name) {
    return "'" + std::string(name) + "'";
}

} // namespace

std::optional<std::string_view> Arguments::value(std::string_view name) const {
    for (auto it = values.rbegin(); it != values.rend(); ++it) {
        if (it->first == name) {
            return it->second;
        }
    }
    return std::nullopt;
}

std::vector<std::string_view> Arguments::valuesOf(std::string_view name) const {
    for (std::size_t i = values.size(); i-- > 0;) {
        if (values[i].first != name) {
            continue;
        }
        std::vector<std::string_view> all{values[i].second};
        for (const auto& [index, rest] : moreValues) {
            if (index == i) {
                all.insert(all.end(), rest.begin(), rest.end());
            }
        }
        return all;
    }
    return {};
}

std::optional<std::string_view> nearest(std::string_view word,
                                        std::span<const std::string_view> candidates) {
    std::optional<std::string_view> best;
    std::size_t bestDistance = 0;
    for (const std::string_view candidate : candidates) {
        const std::size_t distance = editDistance(word, candidate);
        if (!best || distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    // A third of the word, and at least two edits: "neighbor" is two from
    // "neighbours", "--scal" one from "--scale"; "xyz" is near nothing.
    const std::size_t slack = std::max<std::size_t>(2, word.size() / 3);
    if (!best || bestDistance > slack) {
        return std::nullopt;
    }
    return best;
}

std::variant<Arguments, std::string> parseArguments(std::span<const std::string_view> args,
                                                    std::span<const KnownOption> options,
                                                    std::string_view command) {
    const std::string forCommand = " for " + std::string(command);
    Arguments parsed;
    bool onlyOperands = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (onlyOperands || !isOption(arg)) {
            parsed.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyOperands = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            parsed.help = true;
            continue;
        }
        if (arg == "--version") {
            parsed.version = true;
            continue;
        }
        const bool longForm = arg.starts_with("--");
        const std::size_t equals = longForm ? arg.find('=') : std::string_view::npos;
        const std::string_view name = longForm ? arg.substr(2, equals - 2) : arg.substr(1, 1);
        const auto known = std::find_if(options.begin(), options.end(), [&](const KnownOption& o) {
            return longForm ? o.name == name : o.shortName != '\0' && o.shortName == name[0];
        });
        if (known == options.end()) {
            std::vector<std::string> names;
            for (const KnownOption& option : options) {
                names.push_back("--" + std::string(option.name));
            }
            names.emplace_back("--help");
            names.emplace_back("--version");
            const std::vector<std::string_view> views(names.begin(), names.end());
            const std::string_view typed = longForm ? arg.substr(0, equals) : arg;
            std::string message = "unknown option " + quotedName(typed) + forCommand;
            if (const auto suggestion = nearest(typed, views)) {
                message += "; did you mean " + quotedName(*suggestion) + "?";
            }
            return message;
        }
        const std::string_view display = longForm ? arg.substr(0, equals) : arg.substr(0, 2);
        if (!known->takesValue) {
            if (equals != std::string_view::npos || (!longForm && arg.size() > 2)) {
                return "option " + quotedName(display) + forCommand + " takes no value";
            }
            parsed.values.emplace_back(known->name, std::string_view());
            continue;
        }
        std::string_view value;
        if (longForm && equals != std::string_view::npos) {
            value = arg.substr(equals + 1);
        } else if (!longForm && arg.size() > 2) {
            value = arg.substr(2);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            return "option " + quotedName(display) + forCommand + " needs a value";
        }
        parsed.values.emplace_back(known->name, value);
        if (known->valueCount > 1) {
            const auto rest = static_cast<std::size_t>(known->valueCount - 1);
            if (i + rest >= args.size()) {
                return "option " + quotedName(display) + forCommand + " needs " +
                       std::to_string(known->valueCount) + " values";
            }
            parsed.moreValues.emplace_back(
                parsed.values.size() - 1,
                std::vector<std::string_view>(args.begin() + static_cast<std::ptrdiff_t>(i + 1),
                                              args.begin() +
                                                  static_cast<std::ptrdiff_t>(i + 1 + rest)));
            i += rest;
        }
    }
    return parsed;
}

} // namespace sheetfind::cli
