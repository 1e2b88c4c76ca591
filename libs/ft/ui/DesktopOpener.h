// Opens downloaded files and folders on the desktop through the desktop's
// opener programs: each candidate in turn is started with the path as its one
// argument, in a session of its own, until one exits with status 0. The
// programs run while the main loop goes on (an opener may wait for the
// application it starts): a timer watches for their exit. When no candidate
// is found or none succeeds, the callback (not owned) is told, so that it can
// show the location instead. The running launches are owned; a launch still
// running when the opener goes is left to run and reaped later.
#pragma once

#include "ft/ui/CommandList.h"

#include "plat/Timer.h"
#include "plat/unix/LaunchProcess.h"

#include <list>
#include <memory>
#include <string>

namespace ft {

class DesktopOpener : public plat::Timer::Callback {
public:
  class Callback {
  public:
    virtual ~Callback() = default;
    // No candidate opened the path.
    virtual void openFailed(const char* path) = 0;
  };

  // The interval at which running openers are checked, in ms.
  static constexpr int pollMs = 100;

  // The candidates are CommandList::openers() (made on the first open)
  // unless a list (not owned) is given.
  explicit DesktopOpener(Callback* callback, const CommandList* candidates = nullptr);
  ~DesktopOpener() override;
  DesktopOpener(const DesktopOpener&) = delete;
  DesktopOpener& operator=(const DesktopOpener&) = delete;

  // Starts the first candidate that can be started; tells the callback at
  // once when none can.
  void open(const char* path);
  // Attempts whose opener is still running.
  size_t pending() const { return attempts.size(); }

  // plat::Timer::Callback: goes on with every attempt whose opener ended;
  // runs on while any is still running.
  bool timerCallback(plat::Timer* timer) override;

private:
  struct Attempt {
    std::string path;
    size_t next = 0; // the candidate to try after the running one
    std::unique_ptr<os::LaunchProcess> process;
  };

  const CommandList& list();
  // Starts candidates from a.next on until one is running; false when none
  // is left.
  bool startNext(Attempt& a);

  Callback* callback;
  const CommandList* candidates;
  std::list<Attempt> attempts;
  plat::Timer timer;
};

} // namespace ft
