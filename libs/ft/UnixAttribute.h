// The "UNIX" attribute of share entries (the low 16 bits of st_mode, two bytes
// big-endian) and the entry flags of a local file. Free functions; the
// attributes they make are owned by the caller.
#pragma once

#include <cstdint>

namespace ft {

class FileAttributes;
class ShareEntry;

// A new "UNIX" attribute holding mode; the caller owns it.
FileAttributes* makeUnixAttribute(std::uint32_t mode);
// True for an attribute named "UNIX" (any case) with exactly 2 bytes of data.
bool isUnixAttribute(const FileAttributes* attribute);
// The mode of the entry's first "UNIX" attribute; without one 0755 for a
// directory and 0644 for a file.
std::uint32_t unixModeOf(const ShareEntry* entry);
// The entry flags of a local file named name with this mode: directory,
// hidden (last component begins with "."), read-only (no owner write).
// Throws SpecialFileException for anything but a directory or regular file.
std::uint32_t entryFlags(const char* name, std::uint32_t mode);

} // namespace ft
