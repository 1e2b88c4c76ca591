// A share listing filled up to the receiver's bound without a million wire
// messages: the entries go straight into the download manager, as its
// listing handler adds them, so that the next one on the wire crosses it.
#pragma once

#include "ft/DownloadManager.h"
#include "ft/ShareEntry.h"

#include <cstddef>
#include <string>

namespace ft_test {

// The listing bound: a million entries, or 256 MiB of names (262,144 names
// of 1,024 bytes, the longest a receiver takes).
constexpr int listingEntryBound = 1000000;
constexpr int listingNameBound = 262144;
constexpr std::size_t longestName = 1024;

// Adds `entries` four-byte files named "f<i>", each padded with 'x' to
// `nameLength` bytes, to the share being listed.
inline void fillListing(ft::DownloadManager* download, int entries, std::size_t nameLength = 0) {
  for (int i = 0; i < entries; i++) {
    std::string name = "f" + std::to_string(i);
    if (name.size() < nameLength)
      name.append(nameLength - name.size(), 'x');
    download->addEntry(new ft::ShareEntry(name.c_str(), 0, 4, 0, 0, 0));
  }
}

} // namespace ft_test
