// A transcript view for the chat tests: records every call of the view
// interface as one line of text, and keeps the colour of each message line
// so recolouring can be checked. With keep off it only counts the lines, for
// tests that show many.
#pragma once

#include "chat/ChatRender.h"

#include <string>
#include <vector>

namespace chat_test {

inline std::string colourText(const chat::Colour& c) {
  return std::to_string(c.red) + "," + std::to_string(c.green) + "," + std::to_string(c.blue);
}

class RecordingRender : public chat::ChatRender {
public:
  struct Line {
    std::string key; // empty for a header
    std::string label;
    std::string text;
    chat::Colour colour;
  };

  void recolour(const char* key, const chat::Colour& colour) override {
    calls.push_back(std::string("recolour ") + key + " " + colourText(colour));
    for (Line& l : lines)
      if (!l.key.empty() && l.key == key)
        l.colour = colour;
  }
  void appendHeader(const char* text, const chat::Colour& colour) override {
    shown++;
    if (!keep)
      return;
    calls.push_back(std::string("header ") + text);
    lines.push_back({"", "", text, colour});
  }
  void appendMessage(const char* key, const char* label, const char* text,
                     const chat::Colour& colour) override {
    shown++;
    if (!keep)
      return;
    calls.push_back(std::string("message ") + label + ": " + text);
    lines.push_back({key, label, text, colour});
  }
  void beginUpdate() override {
    if (keep)
      calls.push_back("begin");
  }
  void endUpdate() override {
    if (keep)
      calls.push_back("end");
  }

  void clear() {
    calls.clear();
    lines.clear();
  }

  std::vector<std::string> calls;
  std::vector<Line> lines;
  bool keep = true;
  std::size_t shown = 0; // headers and lines appended
};

} // namespace chat_test
