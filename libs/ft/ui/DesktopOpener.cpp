#include "ft/ui/DesktopOpener.h"

#include "plat/Exception.h"
#include "plat/LogWriter.h"

#include <sys/wait.h>
#include <unistd.h>

#include <vector>

namespace ft {

namespace {

// The opener and the application it starts belong to the desktop, not to
// this program: they get a session of their own, so that the signals and
// hang-ups of this program's terminal and process group do not reach them.
class NewSession : public os::LaunchProcess::Callback {
public:
  void preExec(os::LaunchProcess*) override { setsid(); }
};

NewSession newSession;

} // namespace

DesktopOpener::DesktopOpener(Callback* callback_, const CommandList* candidates_)
    : callback(callback_), candidates(candidates_), timer(this) {
}

DesktopOpener::~DesktopOpener() = default;

const CommandList& DesktopOpener::list() {
  if (!candidates)
    candidates = &CommandList::openers();
  return *candidates;
}

void DesktopOpener::open(const char* path) {
  if (list().empty())
    CommandList::log().write(10, "Could not find launch helper script.");
  Attempt a;
  a.path = path;
  if (!startNext(a)) {
    if (callback)
      callback->openFailed(path);
    return;
  }
  attempts.push_back(std::move(a));
  if (!timer.isStarted())
    timer.start(pollMs);
}

bool DesktopOpener::startNext(Attempt& a) {
  const std::vector<std::string>& names = list().names();
  a.process.reset();
  while (a.next < names.size()) {
    const std::string& name = names[a.next++];
    try {
      auto process = std::make_unique<os::LaunchProcess>(
          plat::StringVector{name.c_str(), a.path.c_str()}, false);
      process->setPreExec(&newSession);
      process->start();
      a.process = std::move(process);
      return true;
    } catch (const plat::Exception& e) {
      CommandList::log().error("%s", e.str());
    }
  }
  return false;
}

bool DesktopOpener::timerCallback(plat::Timer*) {
  // The callback may show a window: told only once the list is consistent.
  std::vector<std::string> failed;
  for (auto i = attempts.begin(); i != attempts.end();) {
    int status = 0;
    bool ended = true;
    try {
      ended = i->process->poll(&status);
      if (ended && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        i = attempts.erase(i);
        continue;
      }
      if (ended)
        CommandList::log().debug("Launch helper script '%s' failed (wait status %d).",
                                 list().names()[i->next - 1].c_str(), status);
    } catch (const plat::Exception& e) {
      CommandList::log().error("%s", e.str());
    }
    if (!ended) {
      ++i;
      continue;
    }
    if (startNext(*i)) {
      ++i;
      continue;
    }
    failed.push_back(i->path);
    i = attempts.erase(i);
  }
  for (const std::string& path : failed)
    if (callback)
      callback->openFailed(path.c_str());
  return !attempts.empty();
}

} // namespace ft
