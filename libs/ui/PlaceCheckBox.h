// Places a labelled check box on an option page: both parts at their
// preferred widths, the mark before the label, a radio dot or a tick. The
// layout does not own the check box.
#pragma once

#include "wvw/WLabelCheckBox.h"
#include "wvw/WLayout.h"

namespace ui {

void placeCheckBox(wvw::WLayout* layout, wvw::WLabelCheckBox* box, int x, int y, bool radio);

} // namespace ui
