// Loads arbitrary bytes as the chat history file, under expiry settings that
// the first byte picks, into a transcript laid out at a fixed width. A file
// that does not load must be moved aside whole and the notice given; one
// that loads must be saved and read back to the same records.
#include "chat/ChatHistory.h"
#include "chat/ChatOptions.h"
#include "chat/ChatRenderImpl.h"
#include "plat/Exception.h"

#include "FileContents.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

struct Files {
  Files() {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/fuzz_chat_history.XXXXXX";
    if (!mkdtemp(&pattern[0]))
      abort();
    dir = pattern;
    history = dir + "/chat.xml";
    aside = history + ".unreadable";
    saved = dir + "/saved.xml";
  }
  ~Files() {
    unlink(history.c_str());
    unlink(aside.c_str());
    unlink(saved.c_str());
    rmdir(dir.c_str());
  }
  std::string dir, history, aside, saved;
};

void check(bool ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "%s\n", what);
    abort();
  }
}

bool same(const chat::ChatHistory::Record& a, const chat::ChatHistory::Record& b) {
  return a.time == b.time && a.user == b.user && a.endpoint == b.endpoint && a.text == b.text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  static Files files;
  static ChatOptions options;
  if (size < 1)
    return 0;
  static const int keep[] = {0, 1, 3, -1};
  static const int days[] = {0, 90, -1, 30000};
  options.expiryMessages.setValue(keep[data[0] & 3], 50);
  options.expiryDays.setValue(days[(data[0] >> 2) & 3], 50);
  const std::string content(reinterpret_cast<const char*>(data + 1), size - 1);
  testing_support::writeFile(files.history, content);

  options.chatLogFile.setParam(files.history.c_str(), 50);
  chat::ChatRenderImpl view(nullptr, nullptr);
  view.setSize(300, 200);
  chat::ChatHistory history(&view, &options);
  try {
    history.load();
  } catch (plat::Exception&) {
    check(!history.notice().empty(), "no notice for an unreadable file");
    check(history.records().empty(), "records from an unreadable file");
    check(testing_support::readFile(files.aside) == content,
          "the unreadable file was not kept whole");
    check(testing_support::readFile(files.history) == "<missing>",
          "the unreadable file is still in place");
    unlink(files.aside.c_str());
    return 0;
  }
  check(history.notice().empty(), "a notice for a file that loaded");
  if (options.expiryDays != 0)
    return 0; // the cutoff moves with the clock between load and save

  // A new file: saved over the last input's, the records would be added to
  // those.
  unlink(files.saved.c_str());
  options.chatLogFile.setParam(files.saved.c_str(), 50);
  history.save();
  chat::ChatHistory again(&view, &options);
  again.load();
  check(again.records().size() == history.records().size(), "saved records lost or added");
  for (size_t i = 0; i < history.records().size(); i++)
    check(same(again.records()[i], history.records()[i]), "a saved record reads back changed");
  return 0;
}
