#include "ft/ShareEntry.h"

#include "ft/U64.h"
#include "plat/Exception.h"
#include "plat/Utf8.h"
#include "rdr/InStream.h"
#include "rdr/OutStream.h"

#include <cstring>
#include <memory>
#include <strings.h>

namespace {

ft::ShareEntry::AttributeFilter* attributeFilter = nullptr;

} // namespace

namespace ft {

ShareEntry::ShareEntry(const char* name_, std::uint32_t flags_, std::uint64_t size_,
                       std::uint64_t created_, std::uint64_t accessed_, std::uint64_t modified_)
    : name(name_ ? name_ : ""), flags(flags_), size(size_), created(created_), accessed(accessed_),
      modified(modified_) {
}

ShareEntry::ShareEntry(const ShareEntry& other)
    : name(other.name), flags(other.flags), size(other.size), created(other.created),
      accessed(other.accessed), modified(other.modified) {
  for (std::size_t i = 0; i < other.attributes.size(); i++)
    attributes.push_back(other.attributes[i]->clone());
}

ShareEntry::~ShareEntry() = default;

int ShareEntry::marshalledSize() const {
  int total = 44 + static_cast<int>(name.size());
  for (std::size_t i = 0; i < attributes.size(); i++)
    total += attributes[i]->marshalledSize();
  return total;
}

void ShareEntry::marshal(rdr::OutStream* os) const {
  os->writeU32(static_cast<std::uint32_t>(name.size()));
  os->writeBytes(name.data(), static_cast<int>(name.size()));
  writeU64(os, size);
  writeU64(os, created);
  writeU64(os, accessed);
  writeU64(os, modified);
  os->writeU32(flags);
  os->writeU32(static_cast<std::uint32_t>(attributes.size()));
  for (std::size_t i = 0; i < attributes.size(); i++)
    attributes[i]->marshal(os);
}

void ShareEntry::unmarshal(rdr::InStream* is) {
  std::uint32_t length = is->readU32();
  if (length > static_cast<std::uint32_t>(maxNameLength))
    throw rdr::StringTooLongException();
  char text[maxNameLength + 1];
  is->readBytes(text, static_cast<int>(length));
  text[length] = '\0';
  // A NUL would silently cut the name short; no file name holds one.
  if (std::memchr(text, '\0', length))
    throw plat::Exception("Invalid UTF-8 filename");
  if (name != text)
    name.assign(text, length);
  size = readU64(is);
  created = readU64(is);
  accessed = readU64(is);
  modified = readU64(is);
  flags = is->readU32();
  // Each attribute takes at least 5 bytes of the stream, so the count is
  // bounded by the bytes really present; nothing is allocated up front.
  std::uint32_t count = is->readU32();
  for (std::uint32_t i = 0; i < count; i++) {
    std::unique_ptr<FileAttributes> attribute(new FileAttributes());
    attribute->unmarshal(is);
    // The program keeps what it uses, once: a peer repeating an attribute
    // must not multiply what an entry holds.
    if (attributeFilter &&
        (!attributeFilter->accept(attribute.get()) || hasAttribute(attribute->getName())))
      continue;
    attributes.push_back(attribute.release());
  }
}

bool ShareEntry::hasAttribute(const char* attributeName) const {
  for (std::size_t i = 0; i < attributes.size(); i++)
    if (strcasecmp(attributes[i]->getName(), attributeName) == 0)
      return true;
  return false;
}

void ShareEntry::validate() {
  checkName(name.c_str());
}

void ShareEntry::checkName(const char* text) {
  std::string copy(text);
  if (!plat::checkUtf8(&copy[0]))
    throw plat::Exception("Invalid UTF-8 filename");
  const char* p = text;
  for (;;) {
    const char* slash = std::strchr(p, '/');
    size_t length = slash ? static_cast<size_t>(slash - p) : std::strlen(p);
    if (length == 0)
      throw plat::Exception("Filename cannot contain empty path components");
    if ((length == 1 && p[0] == '.') || (length == 2 && p[0] == '.' && p[1] == '.'))
      throw plat::Exception("Filename cannot be . or ..");
    if (!slash)
      return;
    p = slash + 1;
  }
}

void ShareEntry::setAttributeFilter(AttributeFilter* filter) {
  attributeFilter = filter;
}

ShareEntry::AttributeFilter* ShareEntry::getAttributeFilter() {
  return attributeFilter;
}

} // namespace ft
