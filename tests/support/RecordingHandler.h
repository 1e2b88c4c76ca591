// A widget input handler that writes every callback it gets into a log as
// text ("press 0 A", "key ff09 down A", ...), naming the source by the names
// tests give widgets ("?" for others and for none), and answers with
// configurable results.
#pragma once

#include "wvw/WInputHandler.h"
#include "wvw/Widget.h"

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace testing_support {

class RecordingHandler : public wvw::WInputHandler {
public:
  void name(wvw::Widget* w, const std::string& n) { names_[w] = n; }
  std::string nameOf(wvw::Widget* w) const {
    auto i = names_.find(w);
    return i == names_.end() ? "?" : i->second;
  }

  bool onPointerMove(const rfb::Point& p, wvw::Widget* s) override {
    return log("move " + std::to_string(p.x) + "," + std::to_string(p.y), s);
  }
  bool onButtonPress(int b, wvw::Widget* s) override {
    return log("press " + std::to_string(b), s);
  }
  bool onButtonRelease(int b, wvw::Widget* s) override {
    return log("release " + std::to_string(b), s);
  }
  bool onPointerLeave(wvw::Widget* s) override { return log("leave", s); }
  bool onKey(uint32_t k, bool down, wvw::Widget* s) override {
    char buf[32];
    snprintf(buf, sizeof(buf), "key %x %s", k, down ? "down" : "up");
    return log(buf, s);
  }
  bool onFocusChange(bool reverse, wvw::Widget* s) override {
    return log(std::string("focus") + (reverse ? " reverse " : " ") +
                   (s && s->hasFocus() ? "in" : "out"),
               s);
  }
  bool onClick(wvw::Widget* s) override { return log("click", s); }
  bool onChange(wvw::Widget* s) override { return log("change", s); }
  bool onVisibilityChange(wvw::Widget* s) override { return log("visibility", s); }
  bool onAttach(wvw::Widget* s) override { return log("attach", s); }
  bool onDetach(wvw::Widget* s) override { return log("detach", s); }
  bool onEnabledChange(wvw::Widget* s) override { return log("enabled", s); }
  bool onSizeChange(wvw::Widget* s) override { return log("size", s); }
  bool onPaste(wvw::Widget* s) override { return log("paste", s); }
  bool onCopy(wvw::Widget* s) override { return log("copy", s); }

  // Events whose kind (the first word) is listed are answered true.
  std::set<std::string> handled;
  // Events whose kind is listed are not logged.
  std::set<std::string> quiet;
  // When set, only events whose source is this widget are logged and
  // answered (a layout's handler sees its children's events bubble too).
  wvw::Widget* only = nullptr;
  // When set, the log goes to another handler's list, to keep one order.
  std::vector<std::string>* sink = nullptr;
  std::vector<std::string> events;

private:
  bool log(const std::string& what, wvw::Widget* source) {
    if (only && source != only)
      return false;
    std::string kind = what.substr(0, what.find(' '));
    if (!quiet.count(kind))
      (sink ? *sink : events).push_back(what + " " + nameOf(source));
    return handled.count(kind) != 0;
  }
  std::map<wvw::Widget*, std::string> names_;
};

} // namespace testing_support
