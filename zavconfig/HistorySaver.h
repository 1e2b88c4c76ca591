// Keeps the chat history saved while window mode runs: a few seconds after
// new lines arrive (lines of one burst go in one save), so that a crash or a
// kill loses no more than those seconds; when window mode ends, however it
// ends, before the chat objects go; and when the display connection is lost
// and the program must end at once (saveActive). A failed save is logged and
// told to the desktop user through the report function (once for each new
// kind of failure, not at every retry); the lines stay held and are saved
// with the next. Lives on the stack of window mode; the history is not owned.
// Its destructor lets nothing out: a failed save (a file error, or memory
// running out) is logged and the end goes on.
#pragma once

#include "chat/ChatHistory.h"
#include "plat/Timer.h"

#include <functional>
#include <string>

namespace zavconfig {

class HistorySaver : public chat::ChatHistory::Listener, public plat::Timer::Callback {
public:
  // How long after a new line the history is saved. A save that took long
  // (a large history on a slow disk) spaces the next ones out to ten times
  // its length, so saving never takes more than a tenth of the program's
  // time, however fast lines come.
  static constexpr int saveDelayMs = 3000;

  // report, which may be empty, shows a message to the desktop user.
  explicit HistorySaver(chat::ChatHistory* history,
                        std::function<void(const char*)> report = nullptr);
  ~HistorySaver() override;
  HistorySaver(const HistorySaver&) = delete;
  HistorySaver& operator=(const HistorySaver&) = delete;

  // Saves the history of the saver that lives, if any; never throws. For
  // the last moments of a program that cannot go on (its display is gone).
  static void saveActive();

  // What every save calls: chat::ChatHistory::save unless replaced (by
  // tests, to fail as nothing else on the machine can).
  static void (*saveFn)(chat::ChatHistory* history);

  // chat::ChatHistory::Listener
  void recordAdded() override;
  // plat::Timer::Callback
  bool timerCallback(plat::Timer* timer) override;

private:
  // False when the save failed (logged, and told when tellUser).
  bool saveNow(bool tellUser);

  chat::ChatHistory* history_;
  std::function<void(const char*)> report_;
  plat::Timer timer_;
  // The failure last told to the user; empty after a save that worked.
  std::string lastReported_;
  int delayMs_ = saveDelayMs;
  static HistorySaver* active_;
};

} // namespace zavconfig
