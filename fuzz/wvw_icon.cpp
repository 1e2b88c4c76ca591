// Feeds arbitrary bytes to the icon-file reader as an icon file and loads
// every size the dialogs ask for through the image widget. Any failure must
// be a plat::Exception, never a read outside the bytes.
#include "wvw/IconFile.h"
#include "wvw/WImage.h"
#include "wvw/WinIcoFile.h"

#include "plat/Exception.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  // A copy of exactly the input's size, so that any read beyond it is caught.
  std::unique_ptr<uint8_t[]> copy(new uint8_t[size ? size : 1]);
  if (size)
    memcpy(copy.get(), data, size);
  wvw::registerIcon("fuzz.ico", uint32_t(size), copy.get());
  static const int sizes[] = {2, 16, 17, 20, 24, 32, 48};
  for (int s : sizes) {
    try {
      zav::WinIcoFile file(copy.get(), uint32_t(size));
      int stride = 0;
      const uint8_t* top = file.getImageRows(s, s, 32, &stride);
      // Touch the first and last byte of the rows handed out.
      volatile uint8_t sink = top[0];
      sink = top[ptrdiff_t(s - 1) * stride + s * 4 - 1];
      (void)sink;
      wvw::WImage image;
      image.setIcon("fuzz.ico", s);
    } catch (const plat::Exception&) {
    }
  }
  wvw::registerIcon("fuzz.ico", 0, nullptr);
  return 0;
}
