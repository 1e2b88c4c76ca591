// A one-line header of two columns: a title on the left, a title on the
// right and between them a separator the user drags to move the column
// boundary. Every move is reported as onChange with the header as source;
// the owner reads the divider to lay out its columns. The header owns its
// separator and titles.
#pragma once

#include "ui/WPartition.h"

#include "wvw/WLabel.h"
#include "wvw/WLayout.h"

namespace ui {

class WHeader : public wvw::WLayout {
public:
  WHeader(const char* leftTitle, const char* rightTitle);
  ~WHeader() override;

  bool onPointerMove(const rfb::Point& pos, wvw::Widget* source) override;
  bool onButtonPress(int button, wvw::Widget* source) override;
  bool onButtonRelease(int button, wvw::Widget* source) override;
  bool onPointerLeave(wvw::Widget* source) override;
  bool onChange(wvw::Widget* source) override;
  bool onSizeChange(wvw::Widget* source) override;
  void draw(rfb::WritablePixelBuffer* pb) override;
  void getPreferredSize(int* width, int* height) override;
  bool acceptsFocus() override { return false; }

  // (divider position, 0): the separator's left edge, the column boundary.
  rfb::Point getDividerPosition() const { return rfb::Point(dividerPos_, 0); }
  rfb::Rect getDividerRect() const;
  // Takes effect at the next layout.
  void setDividerPosition(int x) { dividerPos_ = x; }
  bool isDragging() const { return dragging_; }
  WPartition* getPartition() { return &partition_; }

private:
  void layoutChildren();

  int dividerPos_;
  int partitionY_;
  int partitionWidth_;
  int partitionHeight_;
  bool dragging_;
  WPartition partition_;
  wvw::WLabel leftTitle_;
  wvw::WLabel rightTitle_;
};

} // namespace ui
