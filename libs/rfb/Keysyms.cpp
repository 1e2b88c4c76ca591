#include "rfb/Keysyms.h"

#include "rfb/KeysymTable.h"

#include "plat/LogWriter.h"

#include <cstdlib>
#include <cstring>
#include <map>

static plat::LogWriter vlog("Keysyms");

namespace rfb {

namespace {

// Right-hand modifiers, Mode_switch and keypad keys, with their canonical
// keysyms.
const uint32_t aliases[][2] = {
    {0xFFE2, 0xFFE1}, {0xFFE4, 0xFFE3}, {0xFFE8, 0xFFE7}, {0xFFEA, 0xFFE9}, {0xFFEC, 0xFFEB},
    {0xFFEE, 0xFFED}, {0xFF7E, 0xFE03}, {0xFF80, 0x20},   {0xFF89, 0xFF09}, {0xFF8D, 0xFF0D},
    {0xFF91, 0xFFBE}, {0xFF92, 0xFFBF}, {0xFF93, 0xFFC0}, {0xFF94, 0xFFC1}, {0xFF95, 0xFF50},
    {0xFF96, 0xFF51}, {0xFF97, 0xFF52}, {0xFF98, 0xFF53}, {0xFF99, 0xFF54}, {0xFF9A, 0xFF55},
    {0xFF9B, 0xFF56}, {0xFF9C, 0xFF57}, {0xFF9D, 0xFF58}, {0xFF9E, 0xFF63}, {0xFF9F, 0xFFFF},
    {0xFFBD, 0x3D},   {0xFFAA, 0x2A},   {0xFFAB, 0x2B},   {0xFFAC, 0x2C},   {0xFFAD, 0x2D},
    {0xFFAE, 0x2E},   {0xFFAF, 0x2F},   {0xFFB0, 0x30},   {0xFFB1, 0x31},   {0xFFB2, 0x32},
    {0xFFB3, 0x33},   {0xFFB4, 0x34},   {0xFFB5, 0x35},   {0xFFB6, 0x36},   {0xFFB7, 0x37},
    {0xFFB8, 0x38},   {0xFFB9, 0x39},
};

// Control keys whose characters text widgets insert; Return gives a line feed.
const uint32_t controlKeys[][2] = {
    {0xFF08, 0x08}, {0xFF09, 0x09}, {0xFF0D, 0x0A}, {0xFF1B, 0x1B}, {0xFFFF, 0x7F},
};

// Both tables in both directions, built on first use.
struct Maps {
  Maps() {
    for (const auto& a : aliases) {
      aliasToCanonical.emplace(a[0], a[1]);
      canonicalToAlias.emplace(a[1], a[0]);
    }
    for (size_t i = 0; i < keysymUnicodeCount; i++) {
      keysymToUcs.emplace(keysymUnicodeTable[i].keysym, keysymUnicodeTable[i].ucs);
      ucsToKeysym.emplace(keysymUnicodeTable[i].ucs, keysymUnicodeTable[i].keysym);
    }
    for (const auto& c : controlKeys) {
      keysymToUcs.emplace(c[0], c[1]);
      ucsToKeysym.emplace(c[1], c[0]);
    }
  }
  std::map<uint32_t, uint32_t> aliasToCanonical, canonicalToAlias, keysymToUcs, ucsToKeysym;
};

const Maps& maps() {
  static const Maps m;
  return m;
}

uint32_t find(const std::map<uint32_t, uint32_t>& m, uint32_t key) {
  auto i = m.find(key);
  return i == m.end() ? 0 : i->second;
}

bool isUnicodeKeysym(uint32_t k) {
  return k >= 0x1000000 && k <= 0x11FFFFF;
}

uint32_t latin1Char(uint32_t k) {
  return k < 0x20 || (k >= 0x7F && k <= 0x9F) ? 0 : k;
}

} // namespace

bool isDeadKeysym(uint32_t k) {
  return (k >= 0xFE50 && k <= 0xFE63) || k == 0x1000344;
}

bool isModifierKeysym(uint32_t k) {
  return k == 0xFF7E || k == 0xFF7F || (k >= 0xFFE1 && k <= 0xFFEF) || (k >= 0xFE01 && k <= 0xFE0F);
}

bool isKeypadKeysym(uint32_t k) {
  return k >= 0xFF80 && k <= 0xFFBD;
}

uint32_t unicodeToKeysym(uint32_t ucs) {
  if ((ucs >= 0x20 && ucs <= 0x7E) || (ucs >= 0xA0 && ucs <= 0xFF))
    return ucs;
  if (uint32_t k = find(maps().ucsToKeysym, ucs))
    return k;
  if (ucs >= 0x100 && ucs <= 0x10FFFF)
    return 0x1000000 + ucs;
  return 0;
}

uint32_t legacyKeysym(uint32_t k) {
  return isUnicodeKeysym(k) ? unicodeToKeysym(k - 0x1000000) : k;
}

uint32_t canonicalKeysym(uint32_t k) {
  k = legacyKeysym(k);
  uint32_t c = find(maps().aliasToCanonical, k);
  return c ? c : k;
}

uint32_t keysymToUnicode(uint32_t k) {
  if (k <= 0xFF)
    return latin1Char(k);
  k = canonicalKeysym(k);
  if (k <= 0xFF)
    return latin1Char(k);
  if (isUnicodeKeysym(k))
    return k - 0x1000000;
  return find(maps().keysymToUcs, k);
}

uint32_t aliasKeysym(uint32_t k) {
  if (uint32_t c = find(maps().aliasToCanonical, k))
    return c;
  return find(maps().canonicalToAlias, k);
}

uint32_t keysymFromName(const char* text) {
  size_t len = strlen(text);
  if (len == 0)
    return 0;
  const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
  // The first character and its length in bytes.
  size_t n = 1;
  int64_t ucs = s[0];
  if (s[0] >= 0x80) {
    int ones = 0;
    while (ones < 8 && (s[0] & (0x80 >> ones)))
      ones++;
    if (ones >= 2 && ones <= 4 && size_t(ones) <= len) {
      ucs = s[0] & (0x7F >> ones);
      for (int i = 1; i < ones && ucs >= 0; i++) {
        if ((s[i] & 0xC0) != 0x80)
          ucs = -1;
        else
          ucs = (ucs << 6) | (s[i] & 0x3F);
      }
      n = size_t(ones);
    } else {
      ucs = -1;
    }
  }
  if (n == len)
    return unicodeToKeysym(ucs < 0 ? 0xFFFFFFFFu : uint32_t(ucs));
  if (text[0] == 'F' && len <= 3 && strspn(text + 1, "0123456789") == len - 1) {
    long number = strtol(text + 1, nullptr, 10);
    if (number >= 1 && number <= 19)
      return uint32_t(0xFFBD + number);
  }
  return 0;
}

} // namespace rfb
