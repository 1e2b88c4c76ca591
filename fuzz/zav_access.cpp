// Feeds arbitrary text to the access rights parsers: the users list
// "name[:letters],..." and the "+"/"-" modifiers applied to rights taken from
// the first two bytes. An unknown letter must give BadAccessException (or be
// skipped when errors are ignored), never a crash; the letter form of any
// rights reads back as the rights it names.
#include "zav/Access.h"
#include "zav/AccessParseCallback.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void check(bool ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "%s\n", what);
    abort();
  }
}

// Unites the rights of every entry, as a user's rights are found.
class Collect : public zav::Access::ParseCallback {
public:
  bool entry(const char* name, zav::Access::Rights& rights) override {
    check(name != nullptr && strchr(name, ',') == nullptr && strchr(name, ':') == nullptr,
          "list entry name");
    all_ = zav::Access::Rights(std::uint16_t(all_ | rights));
    return true;
  }
  zav::Access::Rights result() override { return all_; }

private:
  zav::Access::Rights all_;
};

// The letter form names the table entries that the rights hold whole, so it
// reads back as those entries: no right the value lacks, and the same
// letters again.
void readsBack(zav::Access::Rights rights) {
  zav::Access::Rights::Letters letters = rights.letters();
  check(strlen(letters.c_str()) < sizeof(letters.text), "letters");
  zav::Access::Rights back(letters.c_str(), false, zav::Access::NoAccess);
  check((back.value() & ~rights.value()) == 0, "letters read back as more rights");
  check(strcmp(back.letters().c_str(), letters.c_str()) == 0, "letters do not read back");
  rights.names();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size < 3)
    return 0;
  std::uint16_t base = std::uint16_t(data[1] << 8 | data[2]);
  bool ignoreErrors = (data[0] & 1) != 0;
  const std::string text(reinterpret_cast<const char*>(data + 3), size - 3);
  readsBack(base);

  if (data[0] & 2) {
    try {
      Collect collect;
      readsBack(zav::Access::parseList(text.c_str(), collect, ignoreErrors));
    } catch (const zav::Access::Rights::BadAccessException& e) {
      check(!ignoreErrors, "an ignored error was thrown");
    }
  } else {
    try {
      readsBack(zav::Access::Rights(text.c_str(), ignoreErrors, base));
    } catch (const zav::Access::Rights::BadAccessException& e) {
      check(!ignoreErrors, "an ignored error was thrown");
    }
  }
  for (char c : text) {
    try {
      zav::Access::bitsForLetter(c);
    } catch (const zav::Access::Rights::BadAccessException& e) {
      check(e.letter() == c, "the wrong letter reported");
    }
  }
  return 0;
}
