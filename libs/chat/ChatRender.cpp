#include "chat/ChatRender.h"

#include <cstring>

namespace chat {

ChatRender::~ChatRender() = default;

std::string ChatRender::participantKey(const char* sender, const char* endpoint) {
  std::string key = sender ? sender : "";
  key += '-';
  key += endpoint ? endpoint : "local";
  return key;
}

std::string ChatRender::label(const char* sender, bool local) {
  if (!sender)
    sender = "";
  std::string result;
  if (const char* slash = strrchr(sender, '\\'))
    result = slash + 1;
  else if (*sender)
    result.assign(sender, strcspn(sender, "@"));
  else if (!local)
    result = "Zav Viewer";
  size_t n = strlen(sender);
  if (local && !(n > 0 && sender[n - 1] == ')'))
    result += result.empty() ? "(Local)" : " (Local)";
  return result;
}

void ChatRender::participantJoined(const char* name, const char* endpoint) {
  std::string key = participantKey(name, endpoint);
  const Colour& colour = colours.allocate(key);
  recolour(key.c_str(), colour);
}

void ChatRender::participantLeft(const char* name, const char* endpoint) {
  std::string key = participantKey(name, endpoint);
  colours.release(key);
  recolour(key.c_str(), ColourAllocator::disconnected);
}

void ChatRender::showMessage(const char* sender, const char* endpoint, const char* text) {
  std::string key = participantKey(sender, endpoint);
  const Colour& colour = endpoint ? colours.lookup(key) : ColourAllocator::localuser;
  std::string shown = label(sender, endpoint == nullptr);
  appendMessage(key.c_str(), shown.c_str(), text ? text : "", colour);
}

void ChatRender::showHeader(const char* text) {
  appendHeader(text, ColourAllocator::timestamp);
}

} // namespace chat
