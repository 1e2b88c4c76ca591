// Feeds arbitrary bytes to the XML reader under each encoding and white-space
// option, writes what it read back in one of the two forms and reads that
// again, and decodes the bytes as base64. It also builds a tree whose
// attribute values and texts are the first pieces of the input between zero
// bytes, and encodes the bytes as base64, and stops the run when any of them
// does not read back as it was written.
#include "plat/Base64Tool.h"
#include "plat/XMLNode.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string trimmed(const std::string& s) {
  const char* blanks = " \t\r\n";
  size_t b = s.find_first_not_of(blanks);
  if (b == std::string::npos)
    return "";
  return s.substr(b, s.find_last_not_of(blanks) - b + 1);
}

void check(bool ok, const char* what, const char* written) {
  if (!ok) {
    fprintf(stderr, "%s does not read back from:\n%s\n", what, written);
    abort();
  }
}

// A few pieces are as good as many for the writer's escapes, and a tree of
// hundreds of nodes per input would cost most of the run.
const size_t maxPieces = 4;

void valuesRoundTrip(const std::string& bytes, bool dropWhiteSpace, bool formatted) {
  std::vector<std::string> pieces;
  size_t start = 0;
  for (size_t end;
       pieces.size() + 1 < maxPieces && (end = bytes.find('\0', start)) != std::string::npos;
       start = end + 1)
    pieces.push_back(bytes.substr(start, end - start));
  pieces.push_back(bytes.substr(start, bytes.find('\0', start) - start));

  xml::XMLNode top = xml::XMLNode::createTopNode("r");
  for (size_t i = 0; i < pieces.size(); i++) {
    top.addAttribute(("a" + std::to_string(i)).c_str(), pieces[i].c_str());
    top.addChild("t").addText(pieces[i].c_str());
  }
  plat::String out = top.createXMLString(formatted);
  xml::XMLResults res;
  xml::XMLNode back = xml::XMLNode::parseString(out.c_str(), nullptr, &res);
  check(res.error == 0 && back.countChildNodes() == static_cast<int>(pieces.size()), "tree",
        out.c_str());
  for (size_t i = 0; i < pieces.size(); i++) {
    xml::XMLAttribute a = back.attributeAt(static_cast<int>(i));
    check(a.lpszValue && pieces[i] == a.lpszValue, "attribute", out.c_str());
    std::string text = dropWhiteSpace ? trimmed(pieces[i]) : pieces[i];
    const char* got = back.childAt(static_cast<int>(i)).textAt(0);
    check(text.empty() ? !got : got && text == got, "text", out.c_str());
  }
}

} // namespace

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
  // One of the writer's two forms per input (bit 5).
  bool formatted = (data[0] & 32) != 0;
  if (!node.isEmpty()) {
    int len = 0;
    plat::String out = node.createXMLString(formatted, &len);
    if (!out.isNull()) {
      // Read the writer's output again. It need not give the same tree:
      // names the reader takes in (such as "b/" or a cut multi-byte
      // character) cannot always be written back unchanged.
      xml::XMLResults again;
      xml::XMLNode back = xml::XMLNode::parseString(out.c_str(), nullptr, &again);
      back.createXMLString(formatted, &len);
    }
  }
  valuesRoundTrip(text, dropWhiteSpace, formatted);
  xml::XMLNode::guessCharEncoding(data, static_cast<int>(size), true);

  int error = 0;
  int n = xml::Base64Tool::decodeSize(text.c_str(), &error);
  std::vector<unsigned char> buf(static_cast<size_t>(n) + 1);
  xml::Base64Tool::decode(text.c_str(), buf.data(), n, nullptr);

  // The bytes encoded and decoded again are the same bytes.
  plat::String encoded = xml::Base64Tool::encode(data, static_cast<int>(size), (data[0] & 16) != 0);
  std::vector<unsigned char> decoded(size);
  int got = 0;
  check(xml::Base64Tool::decode(encoded.c_str(), decoded.data(), static_cast<int>(size), &got) ==
                0 &&
            got == static_cast<int>(size) && memcmp(decoded.data(), data, size) == 0,
        "base64", encoded.c_str());
  return 0;
}
