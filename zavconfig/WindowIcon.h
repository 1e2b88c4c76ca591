// The product icon of every top-level window of zavconfig, in the form of
// the _NET_WM_ICON property: for each size, width, height and the ARGB
// pixels row by row, each element a long as Xlib wants it. The data is
// built once from the built-in "zavserver.ico" and lives for the whole run.
#pragma once

namespace zavconfig {

// The icon's elements; *count gets their number. Throws plat::Exception
// when the built-in icon is missing or broken.
const unsigned long* zavserverIconData(int* count);

// Gives the icon to TXWindow::setDefaultWindowIcon; a failure is logged and
// the windows go without an icon.
void setProductWindowIcon();

} // namespace zavconfig
