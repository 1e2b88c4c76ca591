// Loading a chat history of 100,000 messages (parse, records, every line
// laid out in the transcript) and laying the whole transcript out again at a
// new width, against `xmllint --noout` checking the same file (a process
// start included, as a user would run it). The relayout is also run at
// several lengths to show that it grows linearly, and so is the wrapping of
// one long message. A participant joining and leaving with the transcript
// full, and many other participants connected, costs the same as with an
// empty one.
#include "chat/ChatHistory.h"
#include "chat/ChatOptions.h"
#include "chat/ChatRenderImpl.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

const long long kNow = 1577836800; // the messages end here

// The files written, removed when the program ends.
struct Written {
  ~Written() {
    for (const std::string& p : paths)
      unlink(p.c_str());
  }
  std::vector<std::string> paths;
} written;

// A history file of n messages, written once per size under $TMPDIR.
std::string historyFile(int n) {
  const char* base = getenv("TMPDIR");
  std::string path = std::string(base && *base ? base : "/tmp") + "/bench_chat_history_" +
                     std::to_string(getpid()) + "_" + std::to_string(n) + ".xml";
  if (access(path.c_str(), R_OK) == 0)
    return path;
  FILE* f = fopen(path.c_str(), "w");
  if (!f)
    return path;
  written.paths.push_back(path);
  fputs("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<chat>\n", f);
  for (int i = 0; i < n; i++) {
    bool local = i % 5 == 0;
    fprintf(f,
            "\t<message text=\"Message %d: the quick brown fox jumps over the lazy dog, "
            "and then some more words &amp; signs to wrap\" time=\"%lld\" user=\"%s%d\"",
            i, kNow - n + i, local ? "me (Local)" : "DOMAIN\\viewer", i % 9);
    if (!local)
      fprintf(f, " endpoint=\"10.0.0.%d::5900\"", i % 9);
    fputs("/>\n", f);
  }
  fputs("</chat>\n", f);
  fclose(f);
  return path;
}

struct Transcript {
  explicit Transcript(const std::string& path) {
    setenv("TZ", "UTC", 1);
    options.chatLogFile.setParam(path.c_str(), 50);
    options.expiryDays.setValue(0, 50);
    view.setSize(400, 500);
  }
  ChatOptions options;
  chat::ChatRenderImpl view{nullptr, nullptr};
  chat::ChatHistory history{&view, &options};
};

void BM_ChatHistoryLoad(benchmark::State& state) {
  std::string path = historyFile(100000);
  for (auto _ : state) {
    Transcript t(path);
    t.history.load();
    if (t.history.records().size() != 100000)
      state.SkipWithError("not every message loaded");
    benchmark::DoNotOptimize(t.view.totalHeight());
  }
}
BENCHMARK(BM_ChatHistoryLoad)->Unit(benchmark::kMillisecond);

void BM_ChatRelayout(benchmark::State& state) {
  int n = static_cast<int>(state.range(0));
  Transcript t(historyFile(n));
  t.history.load();
  int width = 300;
  for (auto _ : state) {
    t.view.setSize(width, 500);
    width = width == 300 ? 400 : 300;
    benchmark::DoNotOptimize(t.view.totalHeight());
  }
  state.SetComplexityN(n);
}
BENCHMARK(BM_ChatRelayout)
    ->Arg(25000)
    ->Arg(50000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// One message of n bytes, as long as the chat line allows at most, wrapped
// at a new width: the measure of each line is a running sum, so the cost
// grows with the text's length, not with its square.
void BM_ChatWrapLongText(benchmark::State& state) {
  int n = static_cast<int>(state.range(0));
  std::string text;
  while (int(text.size()) < n)
    text += "word";
  text.resize(size_t(n));
  for (size_t i = 5; i < text.size(); i += 7)
    text[i] = ' ';
  chat::ChatRenderImpl view{nullptr, nullptr};
  view.setSize(400, 500);
  view.appendMessage("viewer", "viewer: ", text.c_str(), chat::Colour{0, 0, 0});
  int width = 150;
  for (auto _ : state) {
    view.setSize(width, 500);
    width = width == 150 ? 200 : 150;
    benchmark::DoNotOptimize(view.totalHeight());
  }
  state.SetComplexityN(n);
}
BENCHMARK(BM_ChatWrapLongText)
    ->Arg(256)
    ->Arg(512)
    ->Arg(1024)
    ->Arg(4096)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity(benchmark::oN);

// One join and one leave of a participant with lines in the transcript,
// which holds n entries (those of 1,000 participants) while 20,000 other
// participants are connected.
void BM_ChatJoinLeave(benchmark::State& state) {
  int n = static_cast<int>(state.range(0));
  chat::ChatRenderImpl view{nullptr, nullptr};
  view.setSize(400, 500);
  ChatOptions options;
  chat::ChatHistory history(&view, &options);
  for (int i = 0; i < n; i++) {
    std::string endpoint = "10.0." + std::to_string(i % 1000 / 250) + "." + std::to_string(i % 250);
    view.showMessage("viewer", endpoint.c_str(), "a line of chat");
  }
  for (int i = 0; i < 20000; i++)
    history.userJoined(
        "other", ("172.16." + std::to_string(i / 250) + "." + std::to_string(i % 250)).c_str());
  for (auto _ : state) {
    history.userJoined("viewer", "10.0.0.1");
    history.userLeft("viewer", "10.0.0.1");
  }
  state.SetComplexityN(n);
}
BENCHMARK(BM_ChatJoinLeave)
    ->Arg(50000)
    ->Arg(200000)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity(benchmark::o1);

void BM_XmllintNoout(benchmark::State& state) {
  std::string path = historyFile(100000);
  for (auto _ : state) {
    const char* argv[] = {"xmllint", "--noout", path.c_str(), nullptr};
    pid_t pid;
    if (posix_spawnp(&pid, "xmllint", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
      state.SkipWithError("xmllint cannot be started (package libxml2-utils)");
      break;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("xmllint refused the file");
      break;
    }
  }
}
BENCHMARK(BM_XmllintNoout)->Unit(benchmark::kMillisecond);

} // namespace
