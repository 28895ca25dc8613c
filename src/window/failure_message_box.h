// SPDX-License-Identifier: MIT
#pragma once

#include "input_error.h"

class QWidget;

namespace sheetfind {

// Shows a lookup failure in a modal message box titled "Sheetfind Reference" and
// returns when the user closes it. The text names the run-time error ("Type
// mismatch" or "Overflow"), the box and what the user typed, and is shown as
// plain text, so typed markup such as "<b>" appears as typed.
void showFailureMessageBox(QWidget* parent, const InputFailure& failure);

} // namespace sheetfind
