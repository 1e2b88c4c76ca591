#include "wvw/WTitledTabSheets.h"

#include "wvw/FontProp.h"

#include "plat/Assert.h"
#include "plat/LogWriter.h"

#include <algorithm>

static plat::LogWriter vlog("WTitledTabSheets");

namespace wvw {

WTitledTabSheets::WTitledTabSheets(Widget* extra, int margin)
    : headerStyle_(), titleStyle_(), title_("<title>"), description_("<description>"),
      extra_(extra), margin_(margin), extraGap_(3), indent_(5), headerIndex_(-1) {
  headerStyle_.font = sheets_.getStyle()->font;
  headerStyle_.textColour = Black;
  headerStyle_.background = White;
  titleStyle_.font = &FontProp::helvB15;
  titleStyle_.background = White;
  header_.setStyle(&headerStyle_);
  title_.setStyle(&titleStyle_);
  description_.setAlignment(0, 0);
  header_.addChild(&title_);
  header_.addChild(&description_);
  if (extra)
    header_.addChild(extra);
  addChild(&header_);
  addChild(&sheets_);
  sheets_.addCallback(this);
}

WTitledTabSheets::~WTitledTabSheets() {
  sheets_.removeCallback(this);
}

int WTitledTabSheets::addSheet(const char* tabText, const char* title, const char* description,
                               Widget* content, int index) {
  std::pair<std::string, std::string> texts(title ? title : "", description ? description : "");
  if (index < 0 || index >= int(titles_.size()))
    titles_.push_back(texts);
  else
    titles_.insert(titles_.begin() + index, texts);
  int added = sheets_.addSheet(tabText, content, index);
  // A sheet inserted before the current one moves it along without a change
  // of sheet being reported: the header follows it here.
  if (headerIndex_ >= 0)
    headerIndex_ = sheets_.getCurrent();
  updateHeader();
  return added;
}

void WTitledTabSheets::removeSheet(int index) {
  PLAT_ASSERT(index >= 0);
  PLAT_ASSERT(index < (int)titles_.size());
  titles_.erase(titles_.begin() + index);
  sheets_.removeSheet(index);
  headerIndex_ = sheets_.getCurrent();
  updateHeader();
  invalidate();
}

rfb::Point WTitledTabSheets::getContentPosition() {
  return sheets_.getContentPosition().translate(getChildPosition(&sheets_));
}

bool WTitledTabSheets::sheetChanging(int, int newIndex) {
  headerIndex_ = newIndex;
  updateHeader();
  invalidate();
  return true;
}

bool WTitledTabSheets::onSizeChange(Widget* source) {
  if (source == this)
    updateHeader();
  return true;
}

void WTitledTabSheets::getPreferredSize(int* width, int* height) {
  int w, h;
  sheets_.getPreferredSize(&w, &h);
  *width = w + 2 * margin_;
  *height = h + 2 * margin_ + header_.height();
}

void WTitledTabSheets::updateHeader() {
  if (headerIndex_ < 0 || headerIndex_ >= int(titles_.size()))
    return;
  int pw, ph;
  sheets_.getPreferredSize(&pw, &ph);
  rfb::Point S(std::max(sheets_.width(), pw), std::max(sheets_.height(), ph));
  int W = S.x + 2 * margin_;
  int ew = extra_ ? extra_->width() + extraGap_ : 0;
  int descWidth = std::max(W - indent_ - ew, 0);
  // One header height whatever sheet is shown: the tallest description.
  int D = 0;
  {
    WLabel scratch;
    scratch.setStyle(&headerStyle_);
    scratch.setAlignment(0, 0);
    scratch.setSize(descWidth, 1);
    for (auto& t : titles_) {
      scratch.setText(t.second.c_str());
      int w, h;
      scratch.getPreferredSize(&w, &h);
      D = std::max(D, h);
    }
  }
  const auto& texts = titles_[size_t(headerIndex_)];
  int w, h;
  title_.setText(texts.first.c_str());
  title_.getPreferredSize(&w, &h);
  header_.setChildRect(&title_, rfb::Rect(0, 0, std::max(W - ew, 0), h));
  description_.setText(texts.second.c_str());
  header_.setChildRect(&description_, rfb::Rect(indent_, title_.height(), indent_ + descWidth,
                                                title_.height() + D + 6));
  int H = title_.height() + description_.height();
  if (extra_) {
    H = std::max(extra_->height(), H);
    header_.moveChild(extra_,
                      rfb::Point(W - extra_->width(), std::max((H - extra_->height()) / 2, 0)));
  }
  setChildRect(&header_, rfb::Rect(0, 0, W, H));
  setChildRect(&sheets_, rfb::Rect(margin_, margin_ + H, margin_ + S.x, margin_ + H + S.y));
}

void WTitledTabSheets::draw(rfb::WritablePixelBuffer* pb) {
  WLayout::draw(pb);
  int hh = header_.height();
  pb->fillRect(rfb::Rect(0, hh - 4, width_, hh - 2), colourToPixel(BevelHigh, pb));
  pb->fillRect(rfb::Rect(0, hh - 2, width_, hh - 1), colourToPixel(BevelLow, pb));
}

} // namespace wvw
