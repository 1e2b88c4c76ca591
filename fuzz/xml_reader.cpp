// Feeds arbitrary bytes to the XML reader under each encoding and white-space
// option, writes what it read back in both forms and reads that again, and
// decodes the bytes as base64.
#include "plat/Base64Tool.h"
#include "plat/XMLNode.h"

#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0)
    return 0;
  // The first byte picks the options; the rest is the document.
  int encoding = 1 + data[0] % 3;
  bool dropWhiteSpace = (data[0] & 4) == 0;
  xml::XMLNode::setGlobalOptions(encoding, true, dropWhiteSpace);
  std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

  xml::XMLResults res;
  xml::XMLNode node =
      xml::XMLNode::parseString(text.c_str(), (data[0] & 8) ? "config" : nullptr, &res);
  if (!node.isEmpty()) {
    for (bool formatted : {true, false}) {
      int len = 0;
      plat::String out = node.createXMLString(formatted, &len);
      if (out.isNull())
        continue;
      // Read the writer's output again. It need not give the same tree:
      // names the reader takes in (such as "b/" or a cut multi-byte
      // character) cannot always be written back unchanged.
      xml::XMLResults again;
      xml::XMLNode back = xml::XMLNode::parseString(out.c_str(), nullptr, &again);
      back.createXMLString(formatted, &len);
    }
  }
  xml::XMLNode::guessCharEncoding(data, static_cast<int>(size), true);

  int error = 0;
  int n = xml::Base64Tool::decodeSize(text.c_str(), &error);
  std::vector<unsigned char> buf(static_cast<size_t>(n) + 1);
  xml::Base64Tool::decode(text.c_str(), buf.data(), n, nullptr);
  return 0;
}
