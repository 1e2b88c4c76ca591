#include "ui/WChoiceItem.h"

#include "ui/WAdvancedListBox.h"

#include "wvw/Style.h"
#include "wvw/WLayoutMenu.h"
#include "wvw/WMenuItem.h"

namespace ui {

WChoiceItem::WChoiceItem(WAdvancedListBox* list) : WChoice(list, false, false, 255), list_(list) {
  getTextField()->setEditable(false);
}

bool WChoiceItem::onButtonPress(int button, wvw::Widget* source) {
  if (source == getTextField()) {
    if (!hasFocus()) {
      AliveCheck alive(this);
      takeFocus();
      if (alive.gone())
        return true;
      invalidate();
    } else {
      return onClick(getButton());
    }
  }
  return WChoice::onButtonPress(button, source);
}

bool WChoiceItem::onClick(wvw::Widget* source) {
  wvw::WMenuItem* entry = nullptr;
  for (int32_t id = 0; !entry && getItem(id); id++)
    if (getItem(id) == source)
      entry = getItem(id);
  if (entry)
    list_->setEditValue(entry->getLabel()->getText());
  AliveCheck alive(this);
  bool handled = WChoice::onClick(source);
  if (alive.gone())
    return handled;
  if (entry && handled && !getMenu()->isVisible()) {
    takeFocus();
    invalidate();
  }
  return handled;
}

void WChoiceItem::draw(rfb::WritablePixelBuffer* pb) {
  pb->fillRect(rfb::Rect(0, 0, width_, height_), wvw::colourToPixel(getStyle()->background, pb));
  WLayout::draw(pb);
}

} // namespace ui
