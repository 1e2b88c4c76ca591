#include "zav/Access.h"

#include "plat/DString.h"
#include "plat/LogWriter.h"

#include <cstring>

static plat::LogWriter vlog("Access");

namespace zav {
namespace Access {

namespace {

struct LetterEntry {
  char letter;
  const char* name;
  std::uint16_t mask;
};

// The order decides the output order and which entry takes overlapping bits:
// "Printing" (0x40) stands before "Chat" (0x20) on purpose.
constexpr LetterEntry letterTable[] = {
    {'f', "Full", Full},
    {'d', "Default", Default},
    {'v', "View", View},
    {'k', "KeyEvents", KeyEvents},
    {'p', "PtrEvents", PtrEvents},
    {'c', "CutText", CutText},
    {'t', "FileTransfer", FileTransfer},
    {'r', "Printing", Printing},
    {'h', "Chat", Chat},
    {'q', "NoQuery", NoQuery},
};

} // namespace

std::uint16_t bitsForLetter(char letter) {
  for (const LetterEntry& e : letterTable)
    if (e.letter == letter)
      return e.mask;
  throw Rights::BadAccessException(letter);
}

Rights::Rights(const char* modifiers, bool ignoreErrors, Rights base) : value_(base.value_) {
  bool adding = true;
  for (const char* p = modifiers ? modifiers : ""; *p; p++) {
    if (*p == '+') {
      adding = true;
      continue;
    }
    if (*p == '-') {
      adding = false;
      continue;
    }
    std::uint16_t mask;
    try {
      mask = bitsForLetter(*p);
    } catch (BadAccessException&) {
      if (ignoreErrors)
        continue;
      throw;
    }
    if (adding)
      value_ |= mask;
    else
      value_ &= static_cast<std::uint16_t>(~mask);
  }
}

Rights::Letters Rights::letters() const {
  Letters out{};
  int n = 0;
  std::uint16_t rest = value_;
  for (const LetterEntry& e : letterTable) {
    if ((rest & e.mask) == e.mask) {
      out.text[n++] = e.letter;
      rest &= static_cast<std::uint16_t>(~e.mask);
    }
  }
  out.text[n] = '\0';
  return out;
}

plat::String Rights::names() const {
  if (value_ == NoAccess)
    return plat::String("No");
  plat::DString text;
  std::uint16_t rest = value_;
  for (const LetterEntry& e : letterTable) {
    if ((rest & e.mask) == e.mask) {
      if (text.length() > 0)
        text.append(" ");
      text.append(e.name);
      rest &= static_cast<std::uint16_t>(~e.mask);
    }
  }
  return text.str();
}

} // namespace Access
} // namespace zav
