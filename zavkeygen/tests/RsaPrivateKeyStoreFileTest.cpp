#include "zavkeygen/RsaPrivateKeyStoreFile.h"

#include "CaptureLogger.h"
#include "OpenSslRsa.h"
#include "ReleasedArrays.h"
#include "TempDir.h"
#include "plat/IntParameter.h"
#include "plat/crypto/RsaException.h"
#include "rdr/MemInStream.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace testing_support;

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

std::string hexOf(const std::vector<std::uint8_t>& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  for (std::uint8_t b : bytes) {
    s += digits[b >> 4];
    s += digits[b & 15];
  }
  return s;
}

mode_t modeOf(const std::string& path) {
  struct stat st;
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

std::vector<std::string> listDir(const std::string& path) {
  std::vector<std::string> names;
  DIR* d = opendir(path.c_str());
  while (struct dirent* e = readdir(d))
    if (strcmp(e->d_name, ".") && strcmp(e->d_name, ".."))
      names.push_back(e->d_name);
  closedir(d);
  std::sort(names.begin(), names.end());
  return names;
}

// Sets the modification time an hour back, so that any later write shows.
void ageFile(const std::string& path) {
  struct timeval times[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
  ASSERT_EQ(utimes(path.c_str(), times), 0);
}

struct timespec mtimeOf(const std::string& path) {
  struct stat st;
  EXPECT_EQ(stat(path.c_str(), &st), 0);
  return st.st_mtim;
}

class StoreFileTest : public ::testing::Test {
protected:
  void TearDown() override { umask(savedUmask); }
  TempDir dir;
  mode_t savedUmask = umask(022);
};

TEST_F(StoreFileTest, NewKeyFileIsPrivateHexWithoutNewline) {
  umask(0); // the file must be private whatever the creation mask allows
  std::string path = dir / "private.key";
  crypto::RsaPrivateKeyStoreFile store(path.c_str(), nullptr, false, true);
  store.ensureKey(true);
  std::string text = readFile(path);
  EXPECT_EQ(text.size(), 2824u);
  EXPECT_TRUE(std::regex_match(text, std::regex("[0-9a-f]+")));
  EXPECT_EQ(text.substr(0, 8), "00000800"); // 2048 bits
  EXPECT_EQ(modeOf(path), 0600u);
  EXPECT_EQ(listDir(dir.path()), std::vector<std::string>{"private.key"});

  crypto::RsaPrivateKey key;
  EXPECT_TRUE(store.load(key));
  EXPECT_EQ(key.getBits(), 2048);
}

TEST_F(StoreFileTest, ValidFileIsKeptUnlessForced) {
  std::string path = dir / "private.key";
  crypto::RsaPrivateKeyStoreFile store(path.c_str(), nullptr, false, true);
  store.ensureKey(true);
  std::string first = readFile(path);
  ageFile(path);
  struct timespec before = mtimeOf(path);

  store.ensureKey(true);
  EXPECT_EQ(readFile(path), first);
  struct timespec after = mtimeOf(path);
  EXPECT_EQ(after.tv_sec, before.tv_sec);
  EXPECT_EQ(after.tv_nsec, before.tv_nsec);

  store.ensureKey(false);
  std::string second = readFile(path);
  EXPECT_EQ(second.size(), 2824u);
  EXPECT_NE(second, first);
  EXPECT_EQ(modeOf(path), 0600u);
  EXPECT_EQ(listDir(dir.path()), std::vector<std::string>{"private.key"});
}

TEST_F(StoreFileTest, KeyFileEdgeCases) {
  Pkey a = opensslGenerateRsa(1024), b = opensslGenerateRsa(1024);
  std::string valid = hexOf(opensslPrivateForm(a.get()));
  std::string other = hexOf(opensslPrivateForm(b.get()));
  std::string upper = valid;
  for (char& c : upper)
    c = static_cast<char>(toupper(c));
  const size_t publicHex = 2 * (4 + 2 * 128);
  std::string mismatched = valid.substr(0, publicHex) + other.substr(publicHex);
  std::string oversized = "00010000" + valid.substr(8); // announces 65536 bits

  struct Case {
    const char* name;
    std::string content;
    const char* error; // nullptr: loads
  } cases[] = {
      {"valid", valid, nullptr},
      {"one trailing newline", valid + "\n", nullptr},
      {"upper case", upper, nullptr},
      {"two trailing newlines", valid + "\n\n", "Invalid hex digit"},
      {"blank inside", valid.substr(0, 100) + " " + valid.substr(101), "Invalid hex digit"},
      {"truncated", valid.substr(0, 1000), "End of stream"},
      {"truncated to an odd length", valid.substr(0, 1001), "End of stream"},
      {"empty", "", "End of stream"},
      {"mismatched private numbers", mismatched, "RSA keys do not match"},
      {"key length over the cap", oversized, "Unsupported RSA key length"},
      {"key length under 512", "000001ff" + valid.substr(8), "Unsupported RSA key length"},
  };
  for (const Case& c : cases) {
    std::string path = dir / "key";
    writeFile(path, c.content);
    ageFile(path);
    struct timespec before = mtimeOf(path);
    crypto::RsaPrivateKeyStoreFile store(path.c_str(), nullptr, false, true);
    crypto::RsaPrivateKey key;
    if (!c.error) {
      EXPECT_TRUE(store.load(key)) << c.name;
      EXPECT_EQ(key.getBits(), 1024) << c.name;
      continue;
    }
    try {
      store.ensureKey(true);
      ADD_FAILURE() << c.name << " loaded";
    } catch (crypto::RsaException& e) {
      EXPECT_EQ(std::string(e.str()), "Error getting private key from " + path + ": " + c.error)
          << c.name;
    }
    EXPECT_EQ(readFile(path), c.content) << c.name << ": the file was changed";
    EXPECT_EQ(mtimeOf(path).tv_sec, before.tv_sec) << c.name;
  }
}

TEST_F(StoreFileTest, UnreadableKeyFile) {
  std::string path = dir / "key";
  ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
  crypto::RsaPrivateKeyStoreFile store(path.c_str(), nullptr, false, true);
  crypto::RsaPrivateKey key;
  try {
    store.load(key);
    FAIL() << "a directory loaded";
  } catch (crypto::RsaException& e) {
    EXPECT_EQ(std::string(e.str()),
              "Error getting private key from " + path + ": it is a folder, not a regular file");
  }
}

TEST_F(StoreFileTest, MissingDirectoriesAreCreatedPrivate) {
  ASSERT_TRUE(crypto::rsaModulusBits.setParam("1024", 50));
  std::string path = dir / "a/b/c/key";
  crypto::RsaPrivateKeyStoreFile store(path.c_str(), nullptr, false, true);
  store.ensureKey(true);
  EXPECT_EQ(readFile(path).size(), 1416u);
  for (const char* d : {"a", "a/b", "a/b/c"})
    EXPECT_EQ(modeOf(dir / d), 0700u) << d;

  // An existing directory is left as it is.
  ASSERT_EQ(mkdir((dir / "open").c_str(), 0755), 0);
  crypto::RsaPrivateKeyStoreFile inOpen((dir / "open/key").c_str(), nullptr, false, true);
  inOpen.ensureKey(true);
  EXPECT_EQ(modeOf(dir / "open"), 0755u);
  EXPECT_EQ(modeOf(dir / "open/key"), 0600u);
}

TEST_F(StoreFileTest, BareFileNameUsesTheCurrentDirectory) {
  ASSERT_TRUE(crypto::rsaModulusBits.setParam("1024", 50));
  ASSERT_EQ(chmod(dir.path().c_str(), 0751), 0);
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  crypto::RsaPrivateKeyStoreFile store("bare.key", nullptr, false, true);
  store.ensureKey(true);
  ASSERT_EQ(chdir(cwd), 0);
  EXPECT_EQ(readFile(dir / "bare.key").size(), 1416u);
  EXPECT_EQ(modeOf(dir.path()), 0751u);
}

TEST_F(StoreFileTest, EmptyFileNameIsRefused) {
  crypto::RsaPrivateKeyStoreFile store("", nullptr, false, true);
  crypto::RsaPrivateKey key;
  try {
    store.load(key);
    FAIL() << "loaded";
  } catch (crypto::RsaException& e) {
    EXPECT_STREQ(e.str(), "No private key file specified");
  }
  try {
    store.ensureKey(false);
    FAIL() << "stored";
  } catch (crypto::RsaException& e) {
    EXPECT_STREQ(e.str(), "Error generating private key: No private key file specified");
  }
}

// A folder in the key file's place is never replaced: the store says so
// before a key is generated and leaves no temporary file.
TEST_F(StoreFileTest, FailedReplacementLeavesNoTemporaryFile) {
  ASSERT_TRUE(crypto::rsaModulusBits.setParam("1024", 50));
  std::string path = dir / "key";
  ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
  writeFile(path + "/inside", "x");
  crypto::RsaPrivateKeyStoreFile store(path.c_str(), nullptr, false, true);
  try {
    store.ensureKey(false);
    FAIL() << "stored over a directory";
  } catch (crypto::RsaException& e) {
    EXPECT_EQ(std::string(e.str()), "Cannot store the private key in " + path +
                                        ": it is a folder, not a regular file; it was left "
                                        "untouched");
  }
  EXPECT_EQ(listDir(dir.path()), std::vector<std::string>{"key"});
  EXPECT_EQ(readFile(path + "/inside"), "x");
}

bool loadForm(const std::vector<std::uint8_t>& form, crypto::RsaPrivateKey& key) {
  rdr::MemInStream in(form.data(), static_cast<int>(form.size()));
  return key.readPrivate(in);
}

// Runs body in a child process as an unprivileged user (when the test runs
// as root, who may write anywhere), so that directory permissions hold; the
// paths given are handed to that user first. The child's exit status is the
// result: 0 for success.
template <typename Body> int asUnprivilegedUser(const std::vector<std::string>& paths, Body body) {
  const uid_t nobody = 65534;
  pid_t child = fork();
  if (child == 0) {
    if (geteuid() == 0) {
      for (const std::string& p : paths)
        if (chown(p.c_str(), nobody, nobody) != 0)
          _exit(90);
      if (setgid(nobody) != 0 || setuid(nobody) != 0)
        _exit(91);
    }
    _exit(body());
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + status;
}

// A key file that may be written in a directory that refuses new files is
// written in place, and the log says so; a missing one cannot be created and
// the message names the key file and ends with the reason.
TEST_F(StoreFileTest, KeyFileInADirectoryThatRefusesNewFiles) {
  Pkey k = opensslGenerateRsa(1024);
  std::vector<std::uint8_t> form = opensslPrivateForm(k.get());
  std::string locked = dir / "locked";
  ASSERT_EQ(mkdir(locked.c_str(), 0700), 0);
  std::string path = locked + "/private.key", missing = locked + "/missing.key";
  writeFile(path, "old content");
  chmod(path.c_str(), 0640);
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  ASSERT_EQ(chmod(locked.c_str(), 0500), 0);
  int status = asUnprivilegedUser({locked, path}, [&] {
    crypto::RsaPrivateKey key;
    if (!loadForm(form, key))
      return 11;
    ScopedCapture capture("RsaPrivateKeyStoreFile", 100);
    crypto::RsaPrivateKeyStoreFile store(path.c_str(), nullptr, false, true);
    try {
      store.store(key);
    } catch (plat::Exception& e) {
      fprintf(stderr, "in place: %s\n", e.str());
      return 12;
    }
    if (readFile(path) != hexOf(form))
      return 13;
    if (modeOf(path) != 0600)
      return 14;
    if (!capture.logger.contains("in place"))
      return 15;
    crypto::RsaPrivateKeyStoreFile none(missing.c_str(), nullptr, false, true);
    try {
      none.store(key);
      return 16;
    } catch (plat::Exception& e) {
      std::string expected = "fileOpen(" + missing + "): Permission denied (13)";
      if (e.str() != expected) {
        fprintf(stderr, "got \"%s\"\n", e.str());
        return 17;
      }
    }
    return 0;
  });
  chmod(locked.c_str(), 0700);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(listDir(locked), std::vector<std::string>{"private.key"});
}

// Counts the generations a store starts.
struct CountingCallback : crypto::RsaPrivateKeyStore::Callback {
  int started = 0;
  void generationStarted() override { started++; }
};

// No time is spent generating a key that could not be stored: a folder that
// cannot be made, or one that takes no file while no writable key file is
// there, is reported first.
TEST_F(StoreFileTest, AKeyThatCannotBeStoredIsNotGenerated) {
  ASSERT_TRUE(crypto::rsaModulusBits.setParam("1024", 50));
  std::string locked = dir / "locked", plain = dir / "plain";
  ASSERT_EQ(mkdir(locked.c_str(), 0500), 0);
  writeFile(plain, "p");
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  struct Case {
    std::string keyFile;
    std::string error;
  } cases[] = {
      {plain + "/key", "Cannot store the private key in " + plain + "/key: the folder " + plain +
                           " cannot be made: File exists"},
      {plain + "/sub/key", "Cannot store the private key in " + plain +
                               "/sub/key: the folder " + plain + "/sub cannot be made: Not a "
                                                                 "directory"},
      {locked + "/key",
       "Cannot store the private key in " + locked + "/key: the folder " + locked +
           " is not writable"},
  };
  int status = asUnprivilegedUser({locked}, [&] {
    int failures = 0;
    for (const Case& c : cases) {
      CountingCallback counting;
      crypto::RsaPrivateKeyStoreFile store(c.keyFile.c_str(), &counting, false, true);
      try {
        store.ensureKey(false);
        fprintf(stderr, "%s: stored\n", c.keyFile.c_str());
        failures++;
      } catch (crypto::RsaException& e) {
        if (e.str() != c.error || counting.started != 0) {
          fprintf(stderr, "%s: \"%s\", %d generations\n", c.keyFile.c_str(), e.str(),
                  counting.started);
          failures++;
        }
      }
    }
    return failures;
  });
  chmod(locked.c_str(), 0700);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(listDir(locked), std::vector<std::string>{});
  EXPECT_EQ(readFile(plain), "p");
}

// Temporary names are short and of fixed length, so the longest name the
// system allows is still a key file; a failure names the key file (shortened
// in front when it is long) and ends with the reason.
TEST_F(StoreFileTest, LongKeyFileNames) {
  Pkey k = opensslGenerateRsa(1024);
  std::vector<std::uint8_t> form = opensslPrivateForm(k.get());
  crypto::RsaPrivateKey key;
  ASSERT_TRUE(loadForm(form, key));
  std::string longName = dir / std::string(250, 'k');
  crypto::RsaPrivateKeyStoreFile store(longName.c_str(), nullptr, false, true);
  store.store(key);
  EXPECT_EQ(readFile(longName), hexOf(form));
  EXPECT_EQ(listDir(dir.path()), std::vector<std::string>{std::string(250, 'k')});

  std::string deep = dir / std::string(200, 'd');
  ASSERT_EQ(mkdir(deep.c_str(), 0700), 0);
  std::string taken = deep + "/" + std::string(250, 't');
  ASSERT_EQ(mkdir(taken.c_str(), 0700), 0);
  writeFile(taken + "/inside", "x");
  crypto::RsaPrivateKeyStoreFile blocked(taken.c_str(), nullptr, false, true);
  try {
    blocked.ensureKey(false);
    FAIL() << "stored over a directory";
  } catch (crypto::RsaException& e) {
    std::string text = e.str();
    EXPECT_LT(text.size(), size_t(plat::Exception::maxLength)) << text;
    EXPECT_EQ(text.rfind("Cannot store the private key in ...", 0), 0u) << text;
    const std::string reason =
        std::string(100, 't') + ": it is a folder, not a regular file; it was left untouched";
    EXPECT_EQ(text.substr(text.size() - reason.size()), reason) << text;
  }
  EXPECT_EQ(listDir(deep), std::vector<std::string>{std::string(250, 't')});
}

// Run by a user other than root, a key file reached through a symbolic link
// is replaced where the link leads; the link stays. (Root never writes
// through a link: see the system tests.)
TEST_F(StoreFileTest, LinkedKeyFileIsReplacedAndTheLinkStays) {
  Pkey k = opensslGenerateRsa(1024);
  std::vector<std::uint8_t> form = opensslPrivateForm(k.get());
  crypto::RsaPrivateKey key;
  ASSERT_TRUE(loadForm(form, key));
  std::string real = dir / "real.key", link = dir / "link.key";
  writeFile(real, "old");
  ASSERT_EQ(symlink("real.key", link.c_str()), 0);
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  int status = asUnprivilegedUser({dir.path(), real}, [&] {
    crypto::RsaPrivateKeyStoreFile store(link.c_str(), nullptr, false, true);
    try {
      store.store(key);
    } catch (plat::Exception& e) {
      fprintf(stderr, "%s\n", e.str());
      return 1;
    }
    return 0;
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(readFile(real), hexOf(form));
  char text[64] = "";
  EXPECT_EQ(readlink(link.c_str(), text, sizeof text - 1), 8);
  EXPECT_STREQ(text, "real.key");
  EXPECT_EQ(listDir(dir.path()), (std::vector<std::string>{"link.key", "real.key"}));
}

TEST_F(StoreFileTest, KeyBytesAreNotLeftInReleasedBuffers) {
  Pkey k = opensslGenerateRsa(1024);
  std::vector<std::uint8_t> form = opensslPrivateForm(k.get());
  // The first 32 bytes of d, raw and as the key file's text.
  std::vector<std::uint8_t> d(form.begin() + 4 + 2 * 128, form.begin() + 4 + 2 * 128 + 32);
  std::string path = dir / "private.key";
  writeFile(path, hexOf(form));

  crypto::RsaPrivateKeyStoreFile store(path.c_str(), nullptr, false, true);
  crypto::RsaPrivateKey key;
  {
    ReleasedArrayWatch watch({std::string(d.begin(), d.end()), hexOf(d)});
    ASSERT_TRUE(store.load(key));
    EXPECT_EQ(watch.leaks(), 0) << "after loading";
  }
  {
    ReleasedArrayWatch watch({std::string(d.begin(), d.end()), hexOf(d)});
    store.store(key);
    EXPECT_EQ(watch.leaks(), 0) << "after storing";
  }
  EXPECT_EQ(readFile(path), hexOf(form));
}

} // namespace
