// The access rights of a viewer connection: a 16-bit set of rights with its
// one-letter form ("fdvkpctrhq"), its word form and the "+"/"-" modifier
// syntax. Rights are plain values; texts they return are owned by the caller.
#pragma once

#include "plat/Exception.h"
#include "plat/String.h"

#include <cstdint>

namespace zav {
namespace Access {

constexpr std::uint16_t NoAccess = 0x0000;
constexpr std::uint16_t View = 0x0001;
constexpr std::uint16_t KeyEvents = 0x0002;
constexpr std::uint16_t PtrEvents = 0x0004;
constexpr std::uint16_t CutText = 0x0008;
constexpr std::uint16_t FileTransfer = 0x0010;
constexpr std::uint16_t Chat = 0x0020;
constexpr std::uint16_t Printing = 0x0040;
constexpr std::uint16_t Default = 0x03FF;
constexpr std::uint16_t NoQuery = 0x0400;
constexpr std::uint16_t Full = 0xFFFF;

class Rights {
public:
  // A letter that names no right.
  class BadAccessException : public plat::Exception {
  public:
    explicit BadAccessException(char letter)
        : plat::Exception("BadAccessException"), letter_(letter) {}
    char letter() const { return letter_; }

  private:
    char letter_;
  };

  // The letter form, at most 31 letters in a fixed buffer.
  struct Letters {
    char text[32];
    const char* c_str() const { return text; }
  };

  Rights(std::uint16_t value = NoAccess) : value_(value) {} // NOLINT: rights are numbers
  // Applies a modifier text to base: "+" adds the masks of the letters that
  // follow (the mode at the start), "-" removes them. An unknown letter
  // throws BadAccessException unless ignoreErrors, which skips it.
  Rights(const char* modifiers, bool ignoreErrors, Rights base);

  operator std::uint16_t() const { return value_; }
  std::uint16_t value() const { return value_; }

  Letters letters() const;
  // The names of the contained table entries separated by blanks; "No" for
  // NoAccess.
  plat::String names() const;

private:
  std::uint16_t value_;
};

// The mask of the table entry with that letter (case-sensitive); throws
// Rights::BadAccessException carrying the letter when there is none.
std::uint16_t bitsForLetter(char letter);

} // namespace Access
} // namespace zav
