#include "rdr/OutStream.h"

#include "plat/LogWriter.h"
#include "plat/StringUtils.h"

#include <algorithm>

static plat::LogWriter vlog("OutStream");

namespace rdr {

OutStream::~OutStream() = default;

void OutStream::writeBytes(const void* data, int length) {
  PLAT_ASSERT(length >= 0);
  const std::uint8_t* src = static_cast<const std::uint8_t*>(data);
  while (length > 0) {
    if (ptr == end)
      overrun(1, length);
    int k = std::min<int>(length, static_cast<int>(end - ptr));
    std::memcpy(ptr, src, k);
    ptr += k;
    src += k;
    length -= k;
  }
}

bool OutStream::writeGather(const struct iovec*, int) {
  return false;
}

void OutStream::writeString(const char* text) {
  int len = plat::strLen(text);
  writeU32(static_cast<std::uint32_t>(len));
  writeBytes(text, len);
}

} // namespace rdr
