// SPDX-License-Identifier: MIT
#pragma once

#include "input_error.h"
#include "number_reader.h"

#include <string>
#include <string_view>
#include <variant>

// What pressing Form1's button does, for any toolkit: the view hands in the two
// texts as UTF-8 and shows what comes back.
namespace sheetfind {

// The caption for the result label, or the failure that stopped the lookup.
using LookupResult = std::variant<std::string, InputFailure>;

// Convert the latitude text, then the longitude text, each a decimal number in the
// locale the symbols describe, and ask the grid for the 1:50 000 sheet. A bad
// latitude is reported even when the longitude is bad too. An empty caption means
// the point has no sheet, and the label shows nothing.
class LookupCommand {
public:
    explicit LookupCommand(NumberSymbols symbols = {});

    LookupResult run(std::string_view latitudeText, std::string_view longitudeText) const;

    const NumberReader& numbers() const { return m_numbers; }

private:
    NumberReader m_numbers;
};

// The two boxes of Form1.
enum class Box { Latitude, Longitude };

// The box a failed lookup blames, which the view selects for retyping.
Box boxAtFault(const InputFailure& failure);

// The message box a failed lookup shows: the window's title, and one sentence that
// names the box, the text typed and what was expected, as plain text.
struct FailureMessage {
    std::string title;
    std::string text;
};
FailureMessage failureMessage(const InputFailure& failure);

} // namespace sheetfind
