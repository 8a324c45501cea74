#pragma once
// A readable dump of a text pane for golden tests of the data views: the pane's
// counts and positions, then one line per held line with its attribute and line-data
// words, its text and its fields. What a window would draw is exactly this.

#include <cstdint>
#include <string>

#include "core/text_pane.h"

namespace zentor::testing_support {

// "count 3 total 3 first 0 last -1 top 0 row 0" then, per line,
// "[  0] 8000 00000003 |text| fields 5+8 14+8" (a null line reads "[  1] null").
// Line-data words that are addresses (the inspector's items) differ from run to run:
// without `lineData` they read "-".
std::string DumpPane(const TextPane& pane, bool lineData = true);

// Types `text` over field `field` of held line `line` (the rest of the field blank)
// and puts the pane's current row and selection on it, as the field pane does before
// it commits the field.
void OvertypeField(TextPane& pane, int32_t line, int32_t field, const std::string& text);

}  // namespace zentor::testing_support
