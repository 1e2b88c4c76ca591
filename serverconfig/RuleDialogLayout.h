// Places the parts the host rule dialogs share: a text at the top, wrapped to
// the dialog's width, and OK and Cancel at the bottom right. The layout does
// not own what is placed.
#pragma once

#include "wvw/WLabel.h"
#include "wvw/WLabelButton.h"
#include "wvw/WLayout.h"

namespace serverconfig {

// Places label at (x, y), wrapped to width and as tall as its text needs;
// returns that height.
int placeWrappedText(wvw::WLayout* layout, wvw::WLabel* label, int x, int y, int width);

// Places OK and Cancel, 60 by 25 each, on the row at y: Cancel ending at
// right, OK gap before it.
void placeOkCancel(wvw::WLayout* layout, wvw::WLabelButton* ok, wvw::WLabelButton* cancel,
                   int right, int y, int gap);

} // namespace serverconfig
