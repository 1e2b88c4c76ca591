#include "wvw/WinIcoFile.h"

#include "plat/Exception.h"

#include <cstddef>

namespace zav {

namespace {

const uint32_t headerBytes = 6;
const uint32_t entryBytes = 16;

} // namespace

WinIcoFile::WinIcoFile(const uint8_t* data, uint32_t size) : data_(data), size_(size) {
}

WinIcoFile::~WinIcoFile() = default;

const uint8_t* WinIcoFile::findImage(int width, int height, int bpp) {
  auto bad = [&] {
    return plat::ExceptionFmt("Error in icon data for %dx%d @ %dbpp", width, height, bpp);
  };
  if (!data_ || size_ < headerBytes)
    throw bad();
  const uint8_t* p = data_;
  uint16_t reserved = readU16LE(&p);
  uint16_t type = readU16LE(&p);
  uint16_t count = readU16LE(&p);
  if (reserved != 0 || type != 1)
    throw bad();
  // Only whole entries present in the file are looked at.
  uint32_t entries = (size_ - headerBytes) / entryBytes;
  if (count > entries)
    throw bad();
  for (uint32_t i = 0; i < count; i++, p += entryBytes) {
    if (p[0] != width || p[1] != height || readU16LE(p + 6) != bpp)
      continue;
    // The header length and the rows behind it must lie inside the file.
    uint64_t offset = readU32LE(p + 12);
    if (offset + 4 > size_)
      throw bad();
    uint64_t pixels = offset + readU32LE(data_ + offset);
    uint64_t rows = uint64_t(width) * uint64_t(height) * uint64_t(bpp / 8);
    if (pixels + rows > size_)
      throw bad();
    return data_ + pixels;
  }
  throw plat::ExceptionFmt("No matching icon for %dx%d @ %dbpp", width, height, bpp);
}

const uint8_t* WinIcoFile::getImageRows(int width, int height, int bpp, int* stride) {
  const uint8_t* first = findImage(width, height, bpp);
  int rowBytes = width * (bpp / 8);
  *stride = -rowBytes;
  return height > 0 ? first + ptrdiff_t(height - 1) * rowBytes : first;
}

const rfb::PixelLayout& WinIcoFile::pixelLayout() {
  static const rfb::PixelLayout layout = [] {
    rfb::PixelLayout pf = rfb::PixelLayout::argb32LittleEndian;
    pf.makeLittleEndian();
    return pf;
  }();
  return layout;
}

} // namespace zav
