#include "rfb/ProtocolParams.h"

#include "rfb/ProtocolError.h"

#include "plat/MBuf.h"
#include "plat/Utf8.h"
#include "rdr/InStream.h"
#include "rdr/OutStream.h"

#include <cstdio>
#include <cstring>

namespace rfb {

static const char versionFormat[] = "RFB %03d.%03d\n";

ProtocolParams::ProtocolParams()
    : majorVersion_(0), minorVersion_(0), supportsCopyRect_(false), supportsLocalCursor_(false),
      supportsDesktopResize_(true), isVersion4_(false), preferredEncoding_(0), versionText_() {
}

void ProtocolParams::setVersion(int major, int minor) {
  majorVersion_ = major;
  minorVersion_ = minor;
  isVersion4_ = major >= 4;
}

bool ProtocolParams::readVersion(rdr::InStream& is) {
  is.readBytes(versionText_, 12);
  versionText_[12] = '\0';
  int major, minor;
  if (sscanf(versionText_, versionFormat, &major, &minor) != 2 || major < 0 || minor < 0)
    return false;
  setVersion(major, minor);
  return true;
}

void ProtocolParams::writeVersion(rdr::OutStream& os) {
  // Numbers above 999 would not fit the twelve bytes; the peer reads only
  // twelve, so the text is cut rather than overrun.
  snprintf(versionText_, sizeof(versionText_), versionFormat, majorVersion_, minorVersion_);
  os.writeBytes(versionText_, 12);
  os.flush();
}

void ProtocolParams::setPF(const PixelLayout& pf) {
  if (!pf.depthAndBppAreValid()) {
    char desc[PixelLayout::describeSize] = "";
    pf.describe(desc);
    throw ProtocolError("bad pixel format: %s", desc);
  }
  pf_ = pf;
}

void ProtocolParams::setName(const char* name) {
  name_ = name ? name : "";
}

void ProtocolParams::setEncodings(int count, const int32_t* encodings,
                                  const std::function<bool(int32_t)>& isSupported) {
  encodings_.assign(encodings, encodings + (count > 0 ? count : 0));
  supportsCopyRect_ = supportsLocalCursor_ = supportsDesktopResize_ = false;
  preferredEncoding_ = 0;
  bool acceptedZrle = false;
  for (int i = int(encodings_.size()) - 1; i >= 0; i--) {
    int32_t e = encodings_[size_t(i)];
    if (e == 1) {
      supportsCopyRect_ = true;
    } else if (e == -239 || e == -311) {
      supportsLocalCursor_ = true;
    } else if (e == -223) {
      supportsDesktopResize_ = true;
    } else if (isSupported && isSupported(e)) {
      preferredEncoding_ = e;
      if (e == 15)
        acceptedZrle = true;
    }
  }
  if (preferredEncoding_ == 5 && acceptedZrle)
    preferredEncoding_ = 15;
}

bool ProtocolParams::convertsName() const {
  return majorVersion_ < 4 || (majorVersion_ == 4 && minorVersion_ < 1);
}

const char* ProtocolParams::nameForPeer(int length, const char* utf8, int* outLength) {
  if (!convertsName()) {
    *outLength = length;
    return utf8;
  }
  plat::MBuf<unsigned char> out;
  plat::utf8BufToLatin1(length, reinterpret_cast<const unsigned char*>(utf8), out);
  convertedName_.clear();
  if (!out.empty())
    convertedName_.assign(reinterpret_cast<const char*>(out.data()), size_t(out.size()));
  *outLength = int(convertedName_.size());
  return convertedName_.c_str();
}

const char* ProtocolParams::nameFromPeer(int length, const char* text, int* outLength) {
  if (!convertsName()) {
    *outLength = length;
    return text;
  }
  plat::MBuf<unsigned char> out;
  plat::latin1BufToUtf8(length, reinterpret_cast<const unsigned char*>(text), out);
  convertedName_.clear();
  if (!out.empty())
    convertedName_.assign(reinterpret_cast<const char*>(out.data()), size_t(out.size()));
  *outLength = int(convertedName_.size());
  return convertedName_.c_str();
}

} // namespace rfb
