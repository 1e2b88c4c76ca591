// One file or directory of a share, local or received: its path relative to
// the share root (components separated by "/"), flags, size, three times and
// a list of named attributes, all owned by the entry.
#pragma once

#include "ft/FileAttributes.h"
#include "ft/ManagedVector.h"

#include <cstdint>
#include <string>

namespace rdr {
class InStream;
class OutStream;
} // namespace rdr

namespace ft {

class ShareEntry {
public:
  static constexpr std::uint32_t flagDirectory = 1;
  static constexpr std::uint32_t flagHidden = 2;
  static constexpr std::uint32_t flagReadOnly = 4;
  // Longest name accepted from a peer.
  static constexpr int maxNameLength = 1024;

  // Decides which received attributes an entry keeps. One filter may be
  // installed for the whole program; it is borrowed, not owned.
  class AttributeFilter {
  public:
    virtual ~AttributeFilter() = default;
    virtual bool accept(const FileAttributes* attribute) = 0;
  };

  ShareEntry() = default;
  // times are 100-ns ticks since 1601-01-01 (plat::unixTimeToTicks).
  ShareEntry(const char* name, std::uint32_t flags, std::uint64_t size, std::uint64_t created,
             std::uint64_t accessed, std::uint64_t modified);
  // Copies the name and the fixed fields and clones every attribute.
  ShareEntry(const ShareEntry& other);
  ShareEntry& operator=(const ShareEntry&) = delete;
  ~ShareEntry();

  int marshalledSize() const;
  void marshal(rdr::OutStream* os) const;
  // Reads an entry in wire order. With a filter installed, attributes it
  // refuses are dropped, and so is a second attribute of a name (ignoring
  // case) the entry already holds. Fields keep the values read so far when
  // the stream fails.
  void unmarshal(rdr::InStream* is);
  // Checks a received name (throws plat::Exception); see checkName.
  void validate();

  // Throws plat::Exception when name is not valid UTF-8 ("Invalid UTF-8
  // filename"), has an empty component ("Filename cannot contain empty path
  // components") or a component "." or ".." ("Filename cannot be . or ..").
  // Over-long UTF-8 forms are refused, not rewritten.
  static void checkName(const char* name);
  static void setAttributeFilter(AttributeFilter* filter);
  static AttributeFilter* getAttributeFilter();

  // Takes ownership of attribute.
  void addAttribute(FileAttributes* attribute) { attributes.push_back(attribute); }
  // An attribute of that name, ignoring case, is held.
  bool hasAttribute(const char* attributeName) const;

  const char* getName() const { return name.c_str(); }
  void setName(const char* n) { name = n; }
  bool isDirectory() const { return (flags & flagDirectory) != 0; }

  std::string name;
  std::uint32_t flags = 0;
  std::uint64_t size = 0;
  std::uint64_t created = 0;
  std::uint64_t accessed = 0;
  std::uint64_t modified = 0;
  ManagedVector<FileAttributes> attributes;
};

} // namespace ft
