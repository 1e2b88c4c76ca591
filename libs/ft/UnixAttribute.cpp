#include "ft/UnixAttribute.h"

#include "ft/FileAttributes.h"
#include "ft/ShareEntry.h"
#include "ft/SpecialFileException.h"

#include <cstring>
#include <strings.h>

namespace ft {

namespace {
constexpr const char* unixAttributeName = "UNIX";
constexpr std::uint32_t typeMask = 0xF000;
constexpr std::uint32_t typeDirectory = 0x4000;
constexpr std::uint32_t typeRegular = 0x8000;
constexpr std::uint32_t ownerWrite = 0200;
} // namespace

FileAttributes* makeUnixAttribute(std::uint32_t mode) {
  std::uint8_t bytes[2] = {static_cast<std::uint8_t>(mode >> 8), static_cast<std::uint8_t>(mode)};
  return new FileAttributes(unixAttributeName, bytes, 2);
}

bool isUnixAttribute(const FileAttributes* attribute) {
  return attribute->getLength() == 2 && strcasecmp(attribute->getName(), unixAttributeName) == 0;
}

std::uint32_t unixModeOf(const ShareEntry* entry) {
  for (std::size_t i = 0; i < entry->attributes.size(); i++) {
    const FileAttributes* a = entry->attributes[i];
    if (isUnixAttribute(a))
      return (static_cast<std::uint32_t>(a->getData()[0]) << 8) | a->getData()[1];
  }
  return entry->isDirectory() ? 0755 : 0644;
}

std::uint32_t entryFlags(const char* name, std::uint32_t mode) {
  std::uint32_t type = mode & typeMask;
  if (type != typeDirectory && type != typeRegular)
    throw SpecialFileException(name);
  std::uint32_t flags = 0;
  if (type == typeDirectory)
    flags |= ShareEntry::flagDirectory;
  const char* slash = std::strrchr(name, '/');
  const char* last = slash ? slash + 1 : name;
  if (last[0] == '.')
    flags |= ShareEntry::flagHidden;
  if ((mode & ownerWrite) == 0)
    flags |= ShareEntry::flagReadOnly;
  return flags;
}

} // namespace ft
