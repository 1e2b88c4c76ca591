#include "ui/AboutDialog.h"

#include "plat/unix/AppInit.h"

#include <algorithm>

namespace ui {

AboutDialog::AboutDialog(Display* dpy, const char* title, TXWindow* transientFor,
                         const char* iconName, int iconSize)
    : TXDialog(dpy, 1, 1, title, false, true, transientFor), ok_("OK"), hasIcon_(iconName) {
  const AppInit::VersionInfo* info = AppInit::instance()->getVersionInfo();
  // The banner with "(R)" and "(C)": the dialog font has no glyphs for the
  // signs themselves.
  label_.setText(info ? info->plainText.c_str() : AppInit::instance()->getAppName());
  label_.setAlignment(hasIcon_ ? 0 : 1, 1);
  label_.setMargin(10);
  if (hasIcon_) {
    icon_.setIcon(iconName, iconSize);
    content_.addChild(&icon_);
  }
  content_.addChild(&label_);
  content_.addChild(&ok_);
  layOut();
  content_.setInputHandler(this);
}

AboutDialog::~AboutDialog() {
  content_.setInputHandler(nullptr);
  content_.removeChild(&ok_);
  content_.removeChild(&label_);
  if (hasIcon_)
    content_.removeChild(&icon_);
}

void AboutDialog::layOut() {
  int lw = 0, lh = 0;
  label_.setSize(0, 0);
  label_.getPreferredSize(&lw, &lh);
  label_.setSize(lw, lh);
  int blockWidth = lw, blockHeight = lh;
  if (!hasIcon_) {
    content_.moveChild(&label_, rfb::Point(10, 10));
  } else {
    int iw = icon_.width(), ih = icon_.height();
    if (lh > ih) {
      content_.moveChild(&icon_, rfb::Point(10, (lh - ih) / 2 + 10));
      content_.moveChild(&label_, rfb::Point(iw + 12, 10));
    } else {
      content_.moveChild(&icon_, rfb::Point(10, 10));
      content_.moveChild(&label_, rfb::Point(iw + 12, (ih - lh) / 2 + 10));
    }
    blockWidth = lw + iw + 2;
    blockHeight = std::max(lh, ih);
  }
  content_.setChildRect(
      &ok_, rfb::Rect::at(rfb::Point((blockWidth - 60) / 2 + 10, blockHeight + 20), 60, 25));
  setContentSize(blockWidth + 20, blockHeight + 25 + 30);
}

bool AboutDialog::onAttach(wvw::Widget* source) {
  if (source == &content_)
    layOut();
  return false;
}

bool AboutDialog::onClick(wvw::Widget* source) {
  if (source != &ok_)
    return false;
  endDialog(true);
  return true;
}

} // namespace ui
