#include "wvw/IconFile.h"

#include <map>
#include <string>

namespace wvw {

namespace {

using Registry = std::map<std::string, IconFile>;

// Made on first use, which may come from a static initialiser, and never
// freed.
Registry& registry() {
  static Registry* icons = new Registry;
  static bool builtIn = false;
  if (!builtIn) {
    builtIn = true;
    registerBuiltInIcons();
  }
  return *icons;
}

} // namespace

void registerIcon(const char* name, uint32_t size, const uint8_t* data) {
  registry()[name ? name : ""] = IconFile{size, data};
}

IconFile findIcon(const char* name) {
  Registry& icons = registry();
  auto it = icons.find(name ? name : "");
  return it == icons.end() ? IconFile{0, nullptr} : it->second;
}

} // namespace wvw
