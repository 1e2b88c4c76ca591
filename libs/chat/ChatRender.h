// The chat transcript as the history sees it: the view implements the
// appending, recolouring and update bracket; this base turns a sender and an
// endpoint into a participant key, a label and a colour, and owns the
// participants' colour map. A null endpoint marks a line of the local user.
#pragma once

#include "chat/ColourAllocator.h"

#include <string>

namespace chat {

class ChatRender {
public:
  ChatRender() = default;
  ChatRender(const ChatRender&) = delete;
  ChatRender& operator=(const ChatRender&) = delete;
  virtual ~ChatRender();

  // Gives every message line of the participant the colour.
  virtual void recolour(const char* key, const Colour& colour) = 0;
  virtual void appendHeader(const char* text, const Colour& colour) = 0;
  virtual void appendMessage(const char* key, const char* label, const char* text,
                             const Colour& colour) = 0;
  virtual void beginUpdate() = 0;
  virtual void endUpdate() = 0;

  void participantJoined(const char* name, const char* endpoint);
  void participantLeft(const char* name, const char* endpoint);
  void showMessage(const char* sender, const char* endpoint, const char* text);
  void showHeader(const char* text);

  // "<sender>-<endpoint>", "<sender>-local" for a local line.
  static std::string participantKey(const char* sender, const char* endpoint);
  // What the transcript shows as the sender of a line: the name after a
  // domain's backslash, the name before an "@", "Zav Viewer" for an empty
  // remote sender; a local line is marked "(Local)" unless its sender already
  // ends in ")".
  static std::string label(const char* sender, bool local);

protected:
  ColourAllocator colours;
};

} // namespace chat
