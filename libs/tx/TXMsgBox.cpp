#include "tx/TXMsgBox.h"

#include "plat/UserErrorText.h"
#include "plat/unix/AppInit.h"

#include <algorithm>
#include <string>

namespace {

const int buttonHeight = 25;

// The title of the latest message box; one buffer for all of them.
std::string& titleBuffer() {
  static std::string buffer;
  return buffer;
}

const char* makeTitle(const char* caption) {
  std::string& title = titleBuffer();
  const AppInit::VersionInfo* info = AppInit::instance()->getVersionInfo();
  title = info ? info->titleText.c_str() : AppInit::instance()->getAppName();
  if (caption) {
    title += ": ";
    title += caption;
  }
  return title.c_str();
}

const char* iconName(unsigned flags) {
  switch (flags & TXMsgBox::IconMask) {
  case TXMsgBox::IconError:
    return "msgError.ico";
  case TXMsgBox::IconQuestion:
    return "msgQuestion.ico";
  case TXMsgBox::IconWarning:
    return "msgWarning.ico";
  case TXMsgBox::IconInformation:
    return "msgInformation.ico";
  default:
    return nullptr;
  }
}

} // namespace

TXMsgBox::TXMsgBox(Display* dpy, const char* text, unsigned flags, const char* caption, bool modal,
                   TXWindow* transientFor)
    : TXDialog(dpy, 1, 1, makeTitle(caption), modal, true, transientFor), pressed_(-1),
      label_(nullptr, 1), flags_(flags), hasIcon_(false) {
  label_.setMargin(4);
  label_.setWordWrap(true);
  if (const char* name = iconName(flags)) {
    icon_.setIcon(name, iconSize);
    hasIcon_ = true;
  }
  switch (flags & ButtonMask) {
  case OK:
    buttons_.emplace_back(new wvw::WLabelButton("OK"));
    break;
  case OKCancel:
    buttons_.emplace_back(new wvw::WLabelButton("OK"));
    buttons_.emplace_back(new wvw::WLabelButton("Cancel"));
    break;
  case YesNo:
    buttons_.emplace_back(new wvw::WLabelButton("Yes"));
    buttons_.emplace_back(new wvw::WLabelButton("No"));
    break;
  default:
    break;
  }
  if (hasIcon_)
    content_.addChildAt(&icon_, rfb::Point(10, 10));
  content_.addChildAt(&label_, hasIcon_ ? rfb::Point(iconSize + 20, 10) : rfb::Point(10, 10));
  for (auto& b : buttons_)
    content_.addChild(b.get());
  setText(text, 1, 1);
  content_.setInputHandler(this);
}

TXMsgBox::~TXMsgBox() {
  content_.setInputHandler(nullptr);
  for (auto& b : buttons_)
    content_.removeChild(b.get());
  buttons_.clear();
  if (hasIcon_)
    content_.removeChild(&icon_);
  content_.removeChild(&label_);
}

void TXMsgBox::setText(const char* text, int hAlign, int vAlign) {
  label_.setText(text ? plat::userErrorText(text).c_str() : nullptr);
  label_.setAlignment(hAlign, vAlign);
  layOut();
}

void TXMsgBox::layOut() {
  int spacing = xPad;
  int buttonWidth = 60;
  for (auto& b : buttons_) {
    int w = 0, h = 0;
    b->getPreferredSize(&w, &h);
    buttonWidth = std::max(buttonWidth, w + 2 * spacing);
  }
  int n = int(buttons_.size());
  int rowWidth = n ? (buttonWidth + spacing) * n - spacing : 0;

  int textWidth = 0, textHeight = 0;
  label_.setSize(0, 0);
  label_.getPreferredSize(&textWidth, &textHeight);
  label_.setSize(wrapWidth, textHeight);
  label_.getPreferredSize(&textWidth, &textHeight);
  textWidth = std::max(textWidth, rowWidth);
  label_.setSize(textWidth, textHeight);

  int contentWidth = textWidth, contentHeight = textHeight;
  if (hasIcon_) {
    if (textHeight <= iconSize) {
      content_.moveChild(&icon_, rfb::Point(10, 10));
      content_.moveChild(&label_, rfb::Point(iconSize + 20, (iconSize - textHeight) / 2 + 10));
    } else {
      content_.moveChild(&icon_, rfb::Point(10, (textHeight - iconSize) / 2 + 10));
      content_.moveChild(&label_, rfb::Point(iconSize + 20, 10));
    }
    contentWidth = iconSize + textWidth + 10;
    contentHeight = std::max(textHeight, iconSize);
  } else {
    content_.moveChild(&label_, rfb::Point(10, 10));
  }

  int x = (contentWidth - rowWidth) / 2 + 10;
  for (auto& b : buttons_) {
    content_.setChildRect(
        b.get(), rfb::Rect::at(rfb::Point(x, contentHeight + 20), buttonWidth, buttonHeight));
    x += buttonWidth + spacing;
  }
  setClientSize(contentWidth + 20, contentHeight + buttonHeight + 30, false);
}

bool TXMsgBox::onClick(wvw::Widget* source) {
  for (size_t i = 0; i < buttons_.size(); i++) {
    if (buttons_[i].get() == source) {
      pressed_ = int(i);
      // May delete a non-modal box through its callback.
      endDialog(i == 0);
      return true;
    }
  }
  return false;
}

bool TXMsgBox::onAttach(wvw::Widget* source) {
  if (source == &content_)
    layOut();
  if ((flags_ & FocusLast) && !buttons_.empty() && source == buttons_.back().get())
    source->takeFocus();
  return false;
}
