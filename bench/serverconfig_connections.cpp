// The connections model's refresh, run by the status window on every status
// change, against the plain search of every record in the other list that
// serves as reference: one viewer comes and one goes among n connections.
#include "serverconfig/ConnectionsList.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using serverconfig::ConnectionsList;
using Entry = ConnectionsList::Entry;

std::vector<Entry> connections(int n, int first) {
  std::vector<Entry> list;
  for (int i = first; i < first + n; i++)
    list.push_back(
        Entry("viewer", ("192.168." + std::to_string(i)).c_str(), std::to_string(i).c_str(), 1023));
  return list;
}

class Server : public ConnectionsList::Callback {
public:
  bool disconnect(const Entry&) override { return true; }
  bool setAccess(const Entry&, std::uint16_t) override { return true; }
  void list(std::vector<Entry>& out) override { out = current; }
  void notify(const std::vector<Entry>& added, const std::vector<Entry>& removed) override {
    changes += added.size() + removed.size();
  }
  std::vector<Entry> current;
  size_t changes = 0;
};

void BM_ConnectionsRefresh(benchmark::State& state) {
  int n = int(state.range(0));
  std::vector<Entry> before = connections(n, 0), after = connections(n, 1);
  Server server;
  ConnectionsList model(&server);
  for (auto _ : state) {
    state.PauseTiming();
    server.current = before;
    model.refresh();
    server.current = after;
    state.ResumeTiming();
    model.refresh();
  }
  benchmark::DoNotOptimize(server.changes);
}
BENCHMARK(BM_ConnectionsRefresh)->Arg(1000)->Arg(10000)->Arg(65535)->Unit(benchmark::kMillisecond);

// The reference: each record looked for in the other list by a linear search.
void linearMissingFrom(std::vector<Entry>& out, const std::vector<Entry>& from,
                       const std::vector<Entry>& other) {
  for (const Entry& entry : from)
    if (std::find(other.begin(), other.end(), entry) == other.end())
      out.push_back(entry);
}

void BM_LinearSearchRefresh(benchmark::State& state) {
  int n = int(state.range(0));
  std::vector<Entry> before = connections(n, 0), after = connections(n, 1);
  for (auto _ : state) {
    std::vector<Entry> fresh = after, added, removed;
    linearMissingFrom(added, fresh, before);
    linearMissingFrom(removed, before, fresh);
    benchmark::DoNotOptimize(added.size() + removed.size());
  }
}
BENCHMARK(BM_LinearSearchRefresh)->Arg(1000)->Arg(10000)->Arg(65535)->Unit(benchmark::kMillisecond);

} // namespace
