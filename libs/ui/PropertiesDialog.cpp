#include "ui/PropertiesDialog.h"

#include "plat/LogWriter.h"
#include "tx/TXWindow.h"

#include <cstdint>

namespace ui {

// The product logo at the header's size, drawn by tools/make_logo.py.
extern const uint8_t propertiesLogoData[74 * 70 * 4];

static plat::LogWriter vlog("PropertiesDialog");

namespace {

const int logoWidth = 74, logoHeight = 70;
const int buttonWidth = 60, buttonHeight = 25;

} // namespace

PropertiesDialog::PropertiesDialog(TXWindow* host, const std::vector<Page>& basic,
                                   const std::vector<Page>& advanced,
                                   plat::BoolParameter* modeParam, bool showApply, bool showToggle)
    : spacing_(8), host_(host), modeParam_(modeParam), basic_(basic), advanced_(advanced),
      ok_("OK"), cancel_("Cancel"), apply_("Apply"), toggle_(nullptr), tabSheets_(&logo_, 8),
      sheetsWidth_(0), sheetsHeight_(0), close_(false), rebuilding_(false), callback_(nullptr) {
  tabSheets_.getSheets()->addCallback(this);
  logo_.setRgbPixels(propertiesLogoData, logoWidth, logoHeight);

  // Sized for every page of both lists.
  rebuilding_ = true;
  for (const Page& p : advanced_)
    tabSheets_.addSheet(p.tabLabel.c_str(), p.title.c_str(), p.description.c_str(), p.content, -1);
  for (const Page& p : basic_)
    tabSheets_.addSheet(p.tabLabel.c_str(), p.title.c_str(), p.description.c_str(), p.content, -1);
  tabSheets_.getSheets()->setCurrent(0);
  rebuilding_ = false;
  tabSheets_.getPreferredSize(&sheetsWidth_, &sheetsHeight_);
  tabSheets_.setSize(sheetsWidth_, sheetsHeight_);
  contentPosition_ = tabSheets_.getContentPosition();

  addChildAt(&tabSheets_, rfb::Point(0, 0));
  int H = sheetsHeight_;
  if (showToggle) {
    toggle_.setSize(90, buttonHeight);
    addChildAt(&toggle_, rfb::Point(spacing_, H));
  }
  ok_.setSize(buttonWidth, buttonHeight);
  cancel_.setSize(buttonWidth, buttonHeight);
  apply_.setSize(buttonWidth, buttonHeight);
  int W, h;
  getPreferredSize(&W, &h);
  if (showApply) {
    addChildAt(&ok_, rfb::Point(W - 3 * buttonWidth - 3 * spacing_, H));
    addChildAt(&cancel_, rfb::Point(W - 2 * buttonWidth - 2 * spacing_, H));
    addChildAt(&apply_, rfb::Point(W - buttonWidth - spacing_, H));
  } else {
    addChildAt(&ok_, rfb::Point(W - 2 * buttonWidth - 2 * spacing_, H));
    addChildAt(&cancel_, rfb::Point(W - buttonWidth - spacing_, H));
  }
  getPreferredSize(&W, &h);
  setSize(W, h + spacing_);
  rebuild();
}

PropertiesDialog::~PropertiesDialog() {
  tabSheets_.getSheets()->removeCallback(this);
  // The pages belong to the caller: they leave the sheets here.
  rebuilding_ = true;
  while (tabSheets_.getSheets()->getCount() > 0)
    tabSheets_.removeSheet(tabSheets_.getSheets()->getCount() - 1);
}

const std::vector<PropertiesDialog::Page>& PropertiesDialog::activeList() const {
  return modeParam_ && modeParam_->getValue() ? advanced_ : basic_;
}

void PropertiesDialog::rebuild() {
  bool advanced = modeParam_ && modeParam_->getValue();
  toggle_.getLabel()->setText(advanced ? "Basic..." : "Advanced...");
  rebuilding_ = true;
  while (tabSheets_.getSheets()->getCount() > 0)
    tabSheets_.removeSheet(tabSheets_.getSheets()->getCount() - 1);
  for (const Page& p : activeList())
    tabSheets_.addSheet(p.tabLabel.c_str(), p.title.c_str(), p.description.c_str(), p.content, -1);
  tabSheets_.getSheets()->setCurrent(0);
  rebuilding_ = false;
  tabSheets_.setSize(sheetsWidth_, sheetsHeight_);
}

const PropertiesDialog::Page* PropertiesDialog::pageOfSheet(int index) const {
  wvw::WTabSheets* sheets = const_cast<wvw::WTitledTabSheets&>(tabSheets_).getSheets();
  if (index < 0 || index >= sheets->getCount())
    return nullptr;
  wvw::Widget* content = sheets->getSheet(index)->getContent();
  for (const Page& p : activeList())
    if (p.content == content)
      return &p;
  return nullptr;
}

bool PropertiesDialog::sheetChanging(int oldIndex, int) {
  if (oldIndex == -1 || rebuilding_)
    return true;
  const Page* page = pageOfSheet(oldIndex);
  return !page || !page->validator || page->validator->validate(*page);
}

void PropertiesDialog::removeAdvancedPage(wvw::Widget* content) {
  for (auto i = advanced_.begin(); i != advanced_.end(); ++i)
    if (i->content == content) {
      advanced_.erase(i);
      break;
    }
  rebuild();
}

bool PropertiesDialog::onClick(wvw::Widget* source) {
  AliveCheck alive(this);
  if (source == &toggle_ || toggle_.getContent() == source) {
    close_ = false;
    if (modeParam_)
      modeParam_->setValue(!modeParam_->getValue(), 50);
    rebuild();
    invalidate();
  } else if (source == &ok_ || source == &apply_) {
    close_ = false;
    const Page* page = pageOfSheet(tabSheets_.getSheets()->getCurrent());
    if (page && page->validator && !page->validator->validate(*page))
      return true;
    if (alive.gone())
      return true;
    if (callback_)
      callback_->apply();
    if (alive.gone())
      return true;
    if (source == &ok_)
      close_ = true;
  } else if (source == &cancel_) {
    close_ = true;
    if (callback_)
      callback_->cancel();
    if (alive.gone())
      return true;
  } else {
    close_ = false;
    return WLayout::onClick(source);
  }
  if (close_ && host_)
    host_->unmap();
  return true;
}

bool PropertiesDialog::onAttach(wvw::Widget* source) {
  if (source == this)
    rebuild();
  return WLayout::onAttach(source);
}

} // namespace ui
