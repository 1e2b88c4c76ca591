#include "zavconfig/WindowIcon.h"

#include "tx/TXWindow.h"

#include "plat/Exception.h"
#include "plat/LogWriter.h"
#include "wvw/IconFile.h"
#include "wvw/WinIcoFile.h"

#include <vector>

static plat::LogWriter vlog("WindowIcon");

namespace zavconfig {

const unsigned long* zavserverIconData(int* count) {
  static std::vector<unsigned long> data;
  if (data.empty()) {
    wvw::IconFile file = wvw::findIcon("zavserver.ico");
    if (file.size == 0)
      throw plat::Exception("The icon zavserver.ico is not built in");
    zav::WinIcoFile icon(file.data, file.size);
    std::vector<unsigned long> built;
    for (int size : {16, 32, 48}) {
      int stride = 0;
      // 32-bit icon pixels are little-endian B, G, R, A: as a 32-bit
      // number exactly the ARGB that _NET_WM_ICON holds.
      const uint8_t* rows = icon.getImageRows(size, size, 32, &stride);
      built.push_back(static_cast<unsigned long>(size));
      built.push_back(static_cast<unsigned long>(size));
      for (int y = 0; y < size; y++, rows += stride)
        for (int x = 0; x < size; x++)
          built.push_back(zav::WinIcoFile::readU32LE(rows + 4 * x));
    }
    data.swap(built);
  }
  *count = int(data.size());
  return data.data();
}

void setProductWindowIcon() {
  try {
    int count = 0;
    const unsigned long* data = zavserverIconData(&count);
    TXWindow::setDefaultWindowIcon(data, count);
  } catch (plat::Exception& e) {
    vlog.error("%s", e.str());
  }
}

} // namespace zavconfig
