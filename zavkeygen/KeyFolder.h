// The folder that holds the key file, held open by a descriptor, and the key
// file's name in it; everything the key store creates, renames or opens is
// reached through that descriptor.
//
// Run by root, the key path is walked one entry at a time from "/" (or from
// the current folder for a relative path), without letting the system follow
// any link: a link is read and its target walked in turn. Every folder and
// link on the way must belong to root or to the owner of the key's folder, and
// no folder may be writable by its group or others (a sticky folder such as
// /tmp aside, where others cannot replace what is not theirs), so no other
// user can redirect root's writes. The key's folder is the deepest one that
// exists: missing folders are made (private, by root) only once the ones
// that exist have passed, and past the first folder made, the walk goes on
// only through folders made by root (never back out with ".."), so that no
// one can put a link in place of a folder just made. The key file's own
// name is not looked at here.
//
// For any other user the folder is simply the one the path names: links are
// the user's own, and they can only redirect their own writes.
#pragma once

#include "plat/unix/OwnedFd.h"

#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <vector>

namespace crypto {

class KeyFolder {
public:
  enum class Reach {
    Plain,         // the folder part of the path as it is, links followed
    Checked,       // walked and checked as for root; a missing folder is noted
    CheckedMaking, // walked and checked as for root; missing folders are made
  };

  // Plain throws plat::SystemExceptionFmt "fileOpen(%s)" with the key path
  // when the folder cannot be opened. Checked and CheckedMaking throw
  // plat::Exception with the reason alone, in words ("the folder /a/b can be
  // changed by users other than its owner").
  KeyFolder(const char* keyPath, Reach reach);
  KeyFolder(const KeyFolder&) = delete;
  KeyFolder& operator=(const KeyFolder&) = delete;

  // True when the process runs as root and must walk key paths checked.
  static bool checkedForRoot();

  // False only for Checked when a folder on the way does not exist.
  bool exists() const { return !missing_; }
  // An O_PATH descriptor of the key's folder.
  int fd() const { return fd_.get(); }
  // The key file's name in the folder; empty, "." or ".." when the key path
  // names a folder.
  const std::string& name() const { return name_; }
  // True when name() names the folder itself rather than a file in it.
  bool nameIsFolder() const;

private:
  struct Entry {
    std::string path;
    uid_t owner;
    mode_t mode;
  };

  void walk(const std::string& folderPart, bool making);
  // Takes the owner of the folder reached so far as the key folder's owner
  // and checks every entry recorded until now.
  void settle();
  void record(const std::string& path, const struct stat& st);
  void check(const Entry& e) const;

  os::OwnedFd fd_;
  std::string name_;
  bool missing_ = false;
  bool settled_ = false;
  uid_t owner_ = 0;
  std::vector<Entry> entries_;
};

} // namespace crypto
