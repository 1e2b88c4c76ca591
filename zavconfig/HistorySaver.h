// Writes the chat history when window mode ends, however it ends, before the
// chat objects go. Lives on the stack of window mode; the history is not
// owned. Its destructor lets nothing out: a failed save (a file error, or
// memory running out) is logged and the end goes on.
#pragma once

namespace chat {
class ChatHistory;
}

namespace zavconfig {

class HistorySaver {
public:
  explicit HistorySaver(chat::ChatHistory* history) : history_(history) {}
  ~HistorySaver();
  HistorySaver(const HistorySaver&) = delete;
  HistorySaver& operator=(const HistorySaver&) = delete;

  // What the destructor calls: chat::ChatHistory::save unless replaced (by
  // tests, to fail as nothing else on the machine can).
  static void (*saveFn)(chat::ChatHistory* history);

private:
  chat::ChatHistory* history_;
};

} // namespace zavconfig
