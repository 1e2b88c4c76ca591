// A key store that keeps the private key in one file, as hex text or raw
// bytes. A new key file is made private (owner bits only) from its creation
// and replaces the old one only once it is complete on disk, so a failed
// store leaves the previous key as it was. Run by root, the store reads and
// writes only along a path that no other user can redirect (see KeyFolder):
// the key file itself is never reached through a link.
#pragma once

#include "plat/String.h"

#include "zavkeygen/KeyFolder.h"
#include "zavkeygen/RsaPrivateKeyStore.h"

#include <memory>
#include <string>

namespace crypto {

class RsaPrivateKeyStoreFile : public RsaPrivateKeyStore {
public:
  // fileName is copied.
  RsaPrivateKeyStoreFile(const char* fileName, Callback* callback, bool generateIfMissing,
                         bool hex);
  ~RsaPrivateKeyStoreFile() override;

  // An empty file name throws RsaException "No private key file specified";
  // a missing file gives false; any other failure throws RsaException "Error
  // getting private key from %s: %s". What is checked is the file opened.
  bool load(RsaPrivateKey& key) override;
  // Writes the key to a new private file (a short temporary name) beside the
  // key file, makes sure it is on disk and renames it over the key file; a
  // key file reached through symbolic links is replaced where they lead. The
  // key file's directory is created private with its missing parents. On
  // failure the new file is removed and the key file left alone; temporary
  // files that killed runs left are removed first (only the process user's,
  // or in a folder that is not sticky the folder owner's). Root replacing a
  // key file leaves it with its owner and group. Where the directory refuses
  // a new file but the key file exists, the key file is made private and
  // written in place, which the log notes; run by root, not when it has
  // other names (hard links), which would change with it. Messages name
  // the key file (shortened in front when long) and end with the reason; a
  // full disk is said in those words.
  void store(RsaPrivateKey& key) override;
  // Before a key is generated: throws RsaException "Cannot store the private
  // key in %s: ..." when something other than a regular file stands at the
  // key file's place (it is never replaced or opened), when its folder cannot
  // be made, or when neither the folder nor the key file is writable; run by
  // root, also when the key file is a link or a folder or link on the way
  // could let another user redirect it.
  void checkStorable() override;

  const char* getFileName() const { return fileName.c_str(); }

private:
  // The file name with its links followed; shown names the key file in
  // messages.
  plat::String resolvedTarget(const std::string& shown) const;
  // Run by root: the key's folder, reached and checked so that no other user
  // can redirect the key file, missing folders made. Throws RsaException
  // "Cannot store the private key in %s: %s" with the reason.
  std::unique_ptr<KeyFolder> folderForRoot() const;

  plat::String fileName;
};

} // namespace crypto
