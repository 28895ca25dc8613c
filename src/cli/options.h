// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace sheetfind::cli {

// An option a subcommand takes: "--scale VALUE" or "-s VALUE", "--lon-first".
struct KnownOption {
    std::string_view name; // without the leading "--"
    char shortName = '\0'; // '\0' when there is none
    bool takesValue = false;
    int valueCount = 1; // for an option that takes values: how many ("--bbox S W N E")
};

// The arguments of a subcommand, after its name.
struct Arguments {
    std::vector<std::pair<std::string_view, std::string_view>> values; // option name, value
    // For an option of several values, its other values, keyed like `values`: the
    // value in `values` is the first, these the rest.
    std::vector<std::pair<std::size_t, std::vector<std::string_view>>> moreValues;
    std::vector<std::string_view> operands;
    bool help = false;
    bool version = false;

    // The last value given for the option, or its presence for a flag; for an option
    // of several values, the first of them.
    std::optional<std::string_view> value(std::string_view name) const;
    // All the values of the option's last occurrence, in order.
    std::vector<std::string_view> valuesOf(std::string_view name) const;
    bool has(std::string_view name) const { return value(name).has_value(); }
};

// Reads options ("--name VALUE", "--name=VALUE", "-s VALUE", "-sVALUE") and operands;
// "--" ends the options. A negative number such as -123.1 is an operand, not an
// option. --help, -h and --version are taken by every subcommand. Returns a usage
// message for an unknown option (naming the nearest known one) or a missing value.
std::variant<Arguments, std::string> parseArguments(std::span<const std::string_view> args,
                                                    std::span<const KnownOption> options,
                                                    std::string_view command);

// The candidate nearest to `word` by edit distance, when it is near enough to be a
// likely slip of the keyboard: "neighbor" -> "neighbours", "--scal" -> "--scale".
std::optional<std::string_view> nearest(std::string_view word,
                                        std::span<const std::string_view> candidates);

} // namespace sheetfind::cli
