// The stand-in server's side of the chat stream, driven through its control
// socket: what it does at the next connect-back, chat messages to send on
// the live stream, and what it has seen (the two-byte state messages it
// received, whether the program closed the stream). The stand-in is not
// owned.
#pragma once

#include "XzavDouble.h"

#include <string>

namespace testing_support {

class XzavChatPeer {
public:
  explicit XzavChatPeer(XzavDouble& server) : server_(server) {}

  // Settings of the next connect-back, as JSON ({"cookie": ..., "send": [...]}).
  void set(const std::string& settings) {
    server_.control("{\"cmd\": \"stream\", \"kind\": \"chat\", \"set\": " + settings + "}");
  }
  // Messages to send now, as a JSON list ({"type": 3, ...} or {"raw": "<hex>"}).
  void send(const std::string& messages) {
    server_.control("{\"cmd\": \"stream\", \"kind\": \"chat\", \"send\": " + messages + "}");
  }
  std::string status() {
    return server_.control("{\"cmd\": \"stream\", \"kind\": \"chat\", \"status\": true}");
  }
  // The two-byte messages received so far, as JSON ("[[0, 0], [1, 0]]"); "?"
  // when the status cannot be read.
  std::string received() {
    std::string st = status();
    const std::string key = "\"received\": ";
    size_t at = st.find(key);
    if (at == std::string::npos)
      return "?";
    at += key.size();
    if (st.compare(at, 2, "[]") == 0)
      return "[]";
    size_t end = st.find("]]", at);
    return end == std::string::npos ? "?" : st.substr(at, end + 2 - at);
  }
  bool closedByProgram() { return status().find("\"closed\": true") != std::string::npos; }

  // A chat line message of the stand-in's JSON form.
  static std::string line(const std::string& sender, const std::string& endpoint,
                          const std::string& text) {
    return "{\"type\": 3, \"sender\": \"" + sender + "\", \"endpoint\": \"" + endpoint +
           "\", \"text\": \"" + text + "\"}";
  }
  static std::string joinLeave(bool joined, const std::string& name, const std::string& endpoint) {
    return std::string("{\"type\": 4, \"joined\": ") + (joined ? "true" : "false") +
           ", \"name\": \"" + name + "\", \"endpoint\": \"" + endpoint + "\"}";
  }

private:
  XzavDouble& server_;
};

} // namespace testing_support
