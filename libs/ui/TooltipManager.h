// Keeps the tooltip texts of widgets and shows or hides one tooltip (owned)
// for the widget under the pointer. The texts are owned copies; the widgets
// are not owned and must be taken out of the table (null text) before they
// are destroyed if the manager outlives them.
#pragma once

#include "ui/Tooltip.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ui {

class TooltipManager {
public:
  // owner: the widget relative to which the tooltip is placed.
  explicit TooltipManager(wvw::Widget* owner);
  ~TooltipManager();

  // A null text removes the widget's entry.
  void setTooltip(wvw::Widget* widget, const char* text, int wrapWidth = 320);
  // One text per value of the widget (null-terminated list); a null list
  // removes the entry.
  void setTooltips(wvw::Widget* widget, const char* const* texts, int wrapWidth = 320);
  // The widget's single text; null when it has none.
  const char* getTooltip(wvw::Widget* widget) const;
  // Where the current value of a widget with one text per value comes from
  // (a slider's position); -1 or a value beyond the list picks the single
  // text.
  void setValueSource(std::function<int(wvw::Widget*)> valueOf) { valueOf_ = std::move(valueOf); }

  // Shows the tooltip of the widget, or of the nearest of its containers
  // that has one, near p (the widget's coordinates); false when none has an
  // entry (the tooltip is hidden then).
  bool showTooltip(const rfb::Point& p, wvw::Widget* source);
  void hideTooltip() { tooltip_->hide(); }
  Tooltip* tooltip() { return tooltip_.get(); }

private:
  struct Entry {
    bool hasText = false;
    std::string text;
    int wrapWidth = 320;
    std::vector<std::string> texts;
  };

  wvw::Widget* owner_;
  std::map<wvw::Widget*, Entry> entries_;
  std::unique_ptr<Tooltip> tooltip_;
  std::function<int(wvw::Widget*)> valueOf_;
};

} // namespace ui
