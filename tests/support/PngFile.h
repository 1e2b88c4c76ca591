// Writes a pixel buffer as an 8-bit RGB PNG file, for pictures that tests
// leave in the build tree to be looked at. Only true-colour layouts.
#pragma once

#include "rfb/PixelBuffer.h"

#include <zlib.h>

#include <cstdio>
#include <string>
#include <vector>

namespace testing_support {

inline void pngChunk(std::string& out, const char* type, const std::string& data) {
  auto be32 = [&out](uint32_t v) {
    for (int s = 24; s >= 0; s -= 8)
      out += char((v >> s) & 0xff);
  };
  be32(uint32_t(data.size()));
  std::string body = std::string(type, 4) + data;
  out += body;
  be32(uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))));
}

// True when the file was written.
inline bool writePng(rfb::PixelBuffer& pb, const std::string& path) {
  const rfb::PixelLayout& pf = pb.getPF();
  rfb::Rect r = pb.getRect();
  std::vector<uint8_t> pixels(size_t(r.width()) * size_t(r.height()) * size_t(pf.bpp / 8));
  pb.getImage(pixels.data(), r);
  std::string raw;
  size_t bytes = size_t(pf.bpp / 8);
  for (int y = 0; y < r.height(); y++) {
    raw += '\0';
    for (int x = 0; x < r.width(); x++) {
      const uint8_t* p = &pixels[(size_t(y) * size_t(r.width()) + size_t(x)) * bytes];
      uint32_t v = 0;
      for (size_t i = 0; i < bytes; i++)
        v |= uint32_t(p[i]) << (8 * i);
      auto channel = [v](int max, int shift) {
        return char(max ? ((v >> shift) & unsigned(max)) * 255 / unsigned(max) : 0);
      };
      raw += channel(pf.redMax, pf.redShift);
      raw += channel(pf.greenMax, pf.greenShift);
      raw += channel(pf.blueMax, pf.blueShift);
    }
  }
  std::vector<Bytef> z(compressBound(uLong(raw.size())));
  uLongf zlen = uLongf(z.size());
  if (compress2(z.data(), &zlen, reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()),
                9) != Z_OK)
    return false;
  std::string out = "\x89PNG\r\n\x1a\n";
  std::string ihdr;
  for (uint32_t v : {uint32_t(r.width()), uint32_t(r.height())})
    for (int s = 24; s >= 0; s -= 8)
      ihdr += char((v >> s) & 0xff);
  ihdr += std::string("\x08\x02\x00\x00\x00", 5);
  pngChunk(out, "IHDR", ihdr);
  pngChunk(out, "IDAT", std::string(reinterpret_cast<const char*>(z.data()), zlen));
  pngChunk(out, "IEND", "");
  FILE* f = fopen(path.c_str(), "wb");
  if (!f)
    return false;
  bool ok = fwrite(out.data(), 1, out.size(), f) == out.size();
  return fclose(f) == 0 && ok;
}

} // namespace testing_support
