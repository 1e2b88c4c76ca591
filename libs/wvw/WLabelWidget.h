// A label beside another widget, sharing the width between them in a given
// proportion (label first, or last with setLabelRight). The label is a member;
// the other widget is not owned.
#pragma once

#include "wvw/WLabel.h"
#include "wvw/WLayout.h"

namespace wvw {

class WLabelWidget : public WLayout {
public:
  WLabelWidget(const char* text, int labelShare, int widgetShare);
  ~WLabelWidget() override;

  bool onEnabledChange(Widget* source) override;
  bool onSizeChange(Widget* source) override;
  void getPreferredSize(int* width, int* height) override;

  virtual void setLabelRight(bool labelRight);
  // The previous widget leaves the layout; the new one (may be null) joins.
  virtual void setWidget(Widget* widget);
  virtual void setText(const char* text);
  // Shares of the width; (0, 0) takes both preferred widths as the shares.
  virtual void setProportions(int labelShare, int widgetShare);

  WLabel* getLabel() { return &label_; }
  Widget* getWidget() const { return widget_; }

private:
  WLabel label_;
  Widget* widget_;
  bool labelRight_;
  int labelShare_;
  int widgetShare_;
};

} // namespace wvw
