// The per-connection record of protocol parameters: version, pixel format,
// desktop name, encodings and the flags derived from them, enabled
// extensions. Owns copies of every text and list it is given. Also does the
// version exchange and the desktop-name conversions for older peers.
#pragma once

#include "rfb/PixelLayout.h"

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace rdr {
class InStream;
class OutStream;
} // namespace rdr

namespace rfb {

class ProtocolParams {
public:
  ProtocolParams();

  // The version-4 flag follows major >= 4.
  void setVersion(int major, int minor);
  // Reads the 12-byte version text (waiting for it) and takes its numbers;
  // false, with nothing changed, when it is not "RFB xxx.yyy\n".
  bool readVersion(rdr::InStream& is);
  // Writes "RFB xxx.yyy\n" and flushes.
  void writeVersion(rdr::OutStream& os);

  // Throws ProtocolError "bad pixel format: <description>" for a layout that
  // fails depthAndBppAreValid.
  void setPF(const PixelLayout& pf);
  void setName(const char* name);
  // Takes the peer's list and derives the flags and the preferred encoding:
  // the earliest accepted number that is not a pseudo-encoding wins, and 15
  // replaces a preferred 5 when it was accepted anywhere in the list.
  void setEncodings(int count, const int32_t* encodings,
                    const std::function<bool(int32_t)>& isSupported);

  // The desktop name as a peer of this version wants it: Latin-1 before 4.1,
  // UTF-8 as given from then on. The result stays valid until the next call
  // or the destruction of the record; *outLength gets its length.
  const char* nameForPeer(int length, const char* utf8, int* outLength);
  // The reverse: a peer's name in UTF-8.
  const char* nameFromPeer(int length, const char* text, int* outLength);

  int majorVersion() const { return majorVersion_; }
  int minorVersion() const { return minorVersion_; }
  bool isVersion4() const { return isVersion4_; }
  bool supportsCopyRect() const { return supportsCopyRect_; }
  bool supportsLocalCursor() const { return supportsLocalCursor_; }
  bool supportsDesktopResize() const { return supportsDesktopResize_; }
  const PixelLayout& pf() const { return pf_; }
  const char* name() const { return name_.c_str(); }
  const std::vector<int32_t>& encodings() const { return encodings_; }
  int preferredEncoding() const { return preferredEncoding_; }
  // The last version text read or written, NUL-terminated.
  const char* versionText() const { return versionText_; }

  // Enabled extension names, in byte order.
  std::set<std::string>& extensions() { return extensions_; }
  const std::set<std::string>& extensions() const { return extensions_; }

private:
  bool convertsName() const;

  int majorVersion_;
  int minorVersion_;
  bool supportsCopyRect_;
  bool supportsLocalCursor_;
  bool supportsDesktopResize_;
  bool isVersion4_;
  std::set<std::string> extensions_;
  PixelLayout pf_;
  std::string name_;
  std::vector<int32_t> encodings_;
  int preferredEncoding_;
  char versionText_[13];
  std::string convertedName_;
};

} // namespace rfb
