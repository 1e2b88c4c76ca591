// Keysym utilities: classification, normalisation (Unicode keysyms to legacy
// ones, keypad and right-hand keys to their canonical keysyms) and the
// Unicode character of a keysym. Every look-up is bounded; unknown keysyms
// give 0.
#pragma once

#include <cstdint>

namespace rfb {

bool isDeadKeysym(uint32_t keysym);
bool isModifierKeysym(uint32_t keysym);
bool isKeypadKeysym(uint32_t keysym);
// The keysym of a code point: Latin-1 itself, a legacy keysym where one
// exists, else 0x1000000 + code point (0x100..0x10FFFF); 0 otherwise.
uint32_t unicodeToKeysym(uint32_t ucs);
// A Unicode keysym becomes unicodeToKeysym of its code point.
uint32_t legacyKeysym(uint32_t keysym);
// legacyKeysym, then the canonical keysym of an alias.
uint32_t canonicalKeysym(uint32_t keysym);
// The character of a keysym; 0 for control codes and unknown keysyms.
uint32_t keysymToUnicode(uint32_t keysym);
// The other side of the alias table (canonical of an alias, alias of a
// canonical keysym); 0 when the keysym is in neither column.
uint32_t aliasKeysym(uint32_t keysym);
// One UTF-8 character gives its keysym; "F1".."F19" the function keys;
// anything else 0.
uint32_t keysymFromName(const char* utf8);

} // namespace rfb
