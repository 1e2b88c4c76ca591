// Feeds arbitrary text to the small text parsers of the platform library,
// one of them per input chosen by the first byte: the dialog mark-up, the
// UTF-8 and Latin-1 conversions, hex, the stored password form, environment
// expansion, the escapes of configuration lines, and outside text made safe
// to show on one line or to log. Bad input must give a
// plat::Exception (or a false answer), never a crash; where a text can be
// written back, what was read writes and reads back the same.
#include "plat/ConfigurationFile.h"
#include "plat/DString.h"
#include "plat/EnvExpandedString.h"
#include "plat/Exception.h"
#include "plat/Hex.h"
#include "plat/MarkUp.h"
#include "plat/ObfuscatedPassword.h"
#include "plat/PlainPassword.h"
#include "plat/String.h"
#include "plat/StringUtils.h"
#include "plat/Utf8.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void check(bool ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "%s does not read back\n", what);
    abort();
  }
}

// Measures every character as 6 pixels and checks that each piece lies
// inside the run it was taken from.
class Measure : public plat::MarkUp::Layout::Callback {
public:
  void setStyle(int, int) override {}
  int fontHeight() override { return 13; }
  int textWidth(const char* begin, const char* end) override {
    check(begin <= end, "layout measure");
    return int(end - begin) * 6;
  }
  void addText(const char* begin, const char* end, int left, int, int right, int) override {
    check(begin <= end && left <= right, "layout piece");
    for (const char* p = begin; p < end; p++)
      sum_ += static_cast<unsigned char>(*p);
  }

private:
  unsigned sum_ = 0;
};

void markUp(const std::string& text, int wrap) {
  try {
    plat::MarkUp::Stripper stripped(text.c_str());
    // Plain text with its carets doubled is mark-up that strips to itself.
    std::string plain = stripped.c_str();
    std::string quoted;
    for (char c : plain) {
      quoted += c;
      if (c == '^')
        quoted += '^';
    }
    plat::MarkUp::Stripper again(quoted.c_str());
    check(plain == again.c_str(), "mark-up");
  } catch (const plat::Exception&) {
  }
  try {
    Measure measure;
    plat::MarkUp::Layout layout(&measure, wrap);
    plat::MarkUp::parse(text.c_str(), &layout);
  } catch (const plat::Exception&) {
  }
}

void utf8(const std::string& bytes) {
  const char* begin = bytes.data();
  const char* end = begin + bytes.size();
  char* endOut = nullptr;

  // Any 8-bit text goes to UTF-8 and back unchanged.
  plat::String wide = plat::String::adopt(plat::latin1ToUtf8(begin, end, &endOut));
  check(plat::checkUtf8(wide.buf()), "latin-1 as utf-8");
  plat::String narrow =
      plat::String::adopt(plat::utf8ToLatin1(wide.c_str(), wide.c_str() + (endOut - wide.c_str())));
  check(std::string(narrow.c_str()) == std::string(begin, strnlen(begin, bytes.size())), "latin-1");

  plat::String decoded = plat::String::adopt(plat::utf8ToLatin1(begin, end, &endOut));
  plat::String decodedC = plat::String::adopt(plat::utf8ToLatin1(begin));
  std::string copy = bytes;
  plat::checkUtf8(&copy[0]);

  plat::MBuf<unsigned char> out;
  plat::utf8BufToLatin1(int(bytes.size()), reinterpret_cast<const unsigned char*>(begin), out);
  plat::MBuf<unsigned char> back;
  plat::latin1BufToUtf8(out.size(), out.data(), back);

  // Code points from the bytes, four at a time.
  for (size_t i = 0; i + 4 <= bytes.size(); i += 4) {
    std::uint32_t cp;
    memcpy(&cp, begin + i, 4);
    char buf[8];
    char* cursor = buf;
    try {
      plat::utf8EncodeChar(cp % 0x110800, &cursor);
      check(cursor - buf >= 1 && cursor - buf <= 4, "code point length");
    } catch (const plat::Exception&) {
    }
  }
}

void hex(const std::string& text) {
  plat::MBuf<unsigned char> bytes;
  if (plat::hexToBin(text.c_str(), bytes)) {
    plat::String printed = plat::binToHex(bytes.size(), bytes.data());
    plat::MBuf<unsigned char> again;
    check(plat::hexToBin(printed.c_str(), again) && again.size() == bytes.size() &&
              (bytes.size() == 0 || memcmp(again.data(), bytes.data(), size_t(bytes.size())) == 0),
          "hex");
  }
  unsigned value = 0;
  for (char c : text)
    plat::addHexDigit(c, value);
  int signedValue = 0;
  for (char c : text)
    plat::addHexDigit(c, signedValue);
}

// The stored password form as a configuration file or the registry-like
// binary parameters hand it over: raw bytes.
void password(const std::string& bytes) {
  plat::ObfuscatedPassword stored(reinterpret_cast<const unsigned char*>(bytes.data()),
                                  int(bytes.size()));
  try {
    plat::PlainPassword plain(stored);
    // Stored again, it decodes to the same text.
    plat::ObfuscatedPassword restored(plain);
    plat::PlainPassword again(restored);
    check(strcmp(plain.get(), again.get()) == 0, "password");
    plat::passwordLongEnough(plain);
  } catch (const plat::Exception&) {
  }
}

void environment(const std::string& text) {
  // Names from the text resolve through this map first; an unknown one
  // throws, which is fine.
  plat::EnvExpandedString::Variables vars = {
      {"HOME", "/home/u"}, {"A", "$A"}, {"E", ""}, {"LONG", std::string(300, 'x')}};
  try {
    plat::EnvExpandedString expanded(text.c_str(), &vars);
    (void)expanded.length();
  } catch (const plat::Exception&) {
  }
}

void configLine(const std::string& text) {
  std::string line(text.c_str());
  try {
    plat::ConfigurationFile::unescape(&line[0]);
    std::string value(line.c_str());
    plat::DString escaped;
    plat::ConfigurationFile::appendEscaped(escaped, value.c_str());
    std::string back = escaped.c_str();
    plat::ConfigurationFile::unescape(&back[0]);
    check(value == back.c_str(), "configuration escape");
  } catch (const plat::Exception&) {
  }
}

// Outside text shown on one line keeps nothing that breaks or disguises the
// line, so showing it again changes nothing; logged, it holds no control but
// a whole message's line feeds, stays within its bound, and a quoted text's
// escapes give back the text.
void shown(const std::string& text, unsigned choice) {
  std::string line = plat::strOneLine(text.c_str());
  check(plat::strOneLine(line.c_str()) == line, "one-line text");
  plat::String copy(line.c_str());
  check(plat::checkUtf8(copy.buf()), "one-line text as UTF-8");

  const size_t max = choice * 3;
  const bool wholeMessage = choice & 1;
  std::string logged = plat::strLoggable(text.c_str(), max, wholeMessage);
  bool cut = logged.size() >= 3 && logged.compare(logged.size() - 3, 3, "...") == 0 &&
             logged.size() - 3 <= max;
  check(logged.size() <= max + 3, "logged text bound");
  std::string quoted = cut ? logged.substr(0, logged.size() - 3) : logged;
  std::string back;
  for (size_t i = 0; i < quoted.size(); i++) {
    unsigned char c = static_cast<unsigned char>(quoted[i]);
    check(c >= 0x20 || (c == '\n' && wholeMessage), "logged text controls");
    if (c == '\\' && !wholeMessage) {
      check(i + 3 < quoted.size() && quoted[i + 1] == 'x', "logged text escape");
      back += static_cast<char>(std::strtoul(quoted.substr(i + 2, 2).c_str(), nullptr, 16));
      i += 3;
    } else {
      back += static_cast<char>(c);
    }
  }
  // A whole message keeps its backslashes, so only a quoted text's escapes
  // read back unambiguously.
  if (wholeMessage)
    return;
  const std::string input = text.substr(0, strlen(text.c_str()));
  check(cut ? input.compare(0, back.size(), back) == 0 && back.size() < input.size()
            : back == input,
        "logged text escapes");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size == 0)
    return 0;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  switch (data[0] % 7) {
  case 0:
    markUp(text, data[0] / 6);
    break;
  case 1:
    utf8(text);
    break;
  case 2:
    hex(text);
    break;
  case 3:
    password(text);
    break;
  case 4:
    environment(text);
    break;
  case 5:
    configLine(text);
    break;
  case 6:
    shown(text, data[0] / 7);
    break;
  }
  return 0;
}
