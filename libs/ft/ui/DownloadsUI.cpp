#include "ft/ui/DownloadsUI.h"

#include "plat/StringUtils.h"

#include "wvw/FontProp.h"

#include "rfb/Composite.h"
#include "rfb/FullFramePixelBuffer.h"
#include "rfb/KeysymNames.h"

#include "plat/Assert.h"
#include "plat/DString.h"
#include "plat/LogWriter.h"

#include <algorithm>

namespace ft {

namespace {

const int buttonStep = 23;
const int buttonSide = 20;
const int badgeSide = 17;

namespace keys = rfb::keys;

} // namespace

// ---------------------------------------------------------------------------
// The rows

DownloadsUI::Item::Item(DownloadsUI* owner_) : owner(owner_) {
}

rfb::Rect DownloadsUI::Item::iconBox() const {
  int mid = height() / 2;
  return rfb::Rect(3, mid - 26, 55, mid + 26);
}

rfb::Rect DownloadsUI::Item::badgeBox() const {
  rfb::Rect box = iconBox();
  return rfb::Rect(box.tl.x, box.br.y - badgeSide, box.tl.x + badgeSide, box.br.y);
}

std::vector<DownloadsDialog::Action> DownloadsUI::Item::buttonActions() const {
  std::vector<DownloadsDialog::Action> buttons;
  for (DownloadsDialog::Action a : actions)
    if (DownloadsDialog::isButton(a))
      buttons.push_back(a);
  return buttons;
}

int DownloadsUI::Item::stripLeft(int W) const {
  int n = int(buttonActions().size());
  int width = n == 0 ? 0 : buttonStep * n - 3;
  return W - 6 - width;
}

rfb::Rect DownloadsUI::Item::buttonRect(int W, int i) const {
  int x = stripLeft(W) + buttonStep * i;
  return rfb::Rect(x, 23, x + buttonSide, 43);
}

rfb::Rect DownloadsUI::Item::progressRect(int W) const {
  return rfb::Rect(64, 27, stripLeft(W) - 6, 39);
}

rfb::Rect DownloadsUI::Item::titleRect(int W) const {
  return rfb::Rect(64, 6, stripLeft(W) - 6, 24);
}

rfb::Rect DownloadsUI::Item::statusRect(int W) const {
  return titleRect(W).translate(rfb::Point(0, progressShown ? 36 : 21));
}

int DownloadsUI::Item::filledWidth(int W) const {
  int inside = std::max(0, progressRect(W).width() - 4);
  return int(uint32_t(progress) * uint32_t(inside) / 65535);
}

int DownloadsUI::Item::buttonAt(int W, const rfb::Point& p) const {
  int left = stripLeft(W);
  if (p.x < left || p.x >= W - 6 || p.y < 23 || p.y >= 43)
    return -1;
  int i = (p.x - left) / buttonStep;
  return i < int(buttonActions().size()) ? i : -1;
}

bool DownloadsUI::Item::offers(DownloadsDialog::Action action) const {
  return std::find(actions.begin(), actions.end(), action) != actions.end();
}

void DownloadsUI::Item::repaint(const rfb::Rect& r) {
  owner->repaintRow(this, r);
}

void DownloadsUI::Item::setIconPath(const char* path) {
  owner->iconChooser.setIconForPath(&icon, path);
  repaint(iconBox());
}

void DownloadsUI::Item::setMultipleIcon() {
  owner->iconChooser.setMultipleIcon(&icon);
  repaint(iconBox());
}

void DownloadsUI::Item::setName(const char* text) {
  if (name == text)
    return;
  name = text;
  repaint(titleRect(owner->width()));
}

void DownloadsUI::Item::setProgress(std::uint16_t value) {
  int before = filledWidth(owner->width());
  progress = value;
  if (filledWidth(owner->width()) != before && progressShown)
    repaint(progressRect(owner->width()));
}

void DownloadsUI::Item::showProgress() {
  if (progressShown)
    return;
  progressShown = true;
  owner->layoutRows();
}

void DownloadsUI::Item::hideProgress() {
  if (!progressShown)
    return;
  progressShown = false;
  owner->layoutRows();
}

void DownloadsUI::Item::setStatus(const char* text, bool failed_) {
  if (status != text) {
    status = text;
    repaint(statusRect(owner->width()));
  }
  if (failed != failed_) {
    failed = failed_;
    repaint(badgeBox());
  }
}

void DownloadsUI::Item::setActions(const std::vector<DownloadsDialog::Action>& list) {
  // The button strip changes: the whole row is drawn anew.
  actions = list;
  repaint(rfb::Rect(0, 0, owner->width(), height()));
  owner->updateHover(owner->lastPointer_);
}

// ---------------------------------------------------------------------------
// The view

DownloadsUI::DownloadsUI(ShareDownloader* shareDownloader, Container* container,
                         wvw::WViewport* viewport_)
    : fileTransferDialog(container), labelStyle(*Widget::getDefaultStyle()),
      emptyLabel(nullptr, DownloadsDialog::emptyListText()), viewport(viewport_),
      titleFont(&wvw::FontProp::helvB15_u), statusFont(&wvw::FontProp::helv15_u),
      closeActive("FTClose_active.ico", buttonSide), closeImage("FTClose.ico", buttonSide),
      pauseActive("FTPause_active.ico", buttonSide), pauseImage("FTPause.ico", buttonSide),
      playActive("FTPlay_active.ico", buttonSide), playImage("FTPlay.ico", buttonSide),
      retryActive("FTRetry_active.ico", buttonSide), retryImage("FTRetry.ico", buttonSide),
      failImage("FTFail.ico", badgeSide), menu(this), timer(this), opener(this) {
  // The empty-list text in the rows' proportional font, its bold runs in
  // the bold one.
  labelStyle.background = Widget::White;
  labelStyle.font = statusFont;
  emptyLabel.setStyle(&labelStyle);
  emptyLabel.setAlignment(0, 0);
  emptyLabel.setMargin(6);
  addChild(&emptyLabel);

  // The menu's items report their clicks here; the menu keeps its own keys
  // (no opener), so Up and Down move within it rather than among the rows.
  menu.setInputHandler(this);

  TXDialog* dialog = container->dialog();
  messageBox.reset(new TXMsgBox(dialog->display(), "", TXMsgBox::IconInformation, "File Transfer",
                                false, dialog));
  messageBox->setCallback(container);

  downloadsDialog.reset(new DownloadsDialog(shareDownloader, this));
  layoutRows();
}

DownloadsUI::~DownloadsUI() {
  clearMenu();
  // The rows go without laying anything out: the viewport and the dialog
  // around may be going too.
  destroying = true;
  viewport = nullptr;
  downloadsDialog.reset();
  timer.stop();
  messageBox.reset();
}

DownloadsDialog::Download* DownloadsUI::newDownload() {
  return new Item(this);
}

void DownloadsUI::show() {
  fileTransferDialog->dialog()->show();
}

void DownloadsUI::showMessage(const char* text) {
  fileTransferDialog->showError(text);
}

void DownloadsUI::addDownload(DownloadsDialog::Download* download) {
  menu.popdown();
  Item* row = static_cast<Item*>(download);
  for (Item* r : rows)
    select(r, false);
  row->selected = true;
  rows.push_front(row);
  layoutRows();
  select(row, true);
}

void DownloadsUI::removeDownload(DownloadsDialog::Download* download) {
  if (!destroying)
    menu.popdown();
  Item* row = static_cast<Item*>(download);
  auto i = std::find(rows.begin(), rows.end(), row);
  if (i != rows.end()) {
    rows.erase(i);
    if (hoveredRow == row)
      hoveredRow = nullptr;
    if (pressedRow == row) {
      pressedRow = nullptr;
      pressedButton = -1;
    }
    if (!destroying)
      layoutRows();
  }
  delete row;
}

void DownloadsUI::openDownload(const char* path) {
  opener.open(path);
}

void DownloadsUI::openFailed(const char* path) {
  plat::DString text;
  // The path ends in the viewer's name: shown on its one line as it reads.
  text.appendFormat("File download location is:\n%s", plat::strOneLine(path).c_str());
  messageBox->setText(text.c_str(), 1, 1);
  TXDialog* dialog = fileTransferDialog->dialog();
  dialog->setInputDisabled(true);
  messageBox->showWithDecorations(false);
}

void DownloadsUI::setClearEnabled(bool enabled) {
  fileTransferDialog->setClearEnabled(enabled);
}

void DownloadsUI::notifyComplete() {
  fileTransferDialog->notifyComplete();
}

void DownloadsUI::notifyFailed() {
  fileTransferDialog->notifyFailed();
}

void DownloadsUI::layoutRows() {
  // The rows move: the hover is found again at the next pointer motion.
  if (hoveredRow)
    hoveredRow->hoveredButton = -1;
  hoveredRow = nullptr;
  int y = 0;
  for (Item* row : rows) {
    row->top = y;
    y += row->height();
  }
  if (rows.empty()) {
    emptyLabel.setVisible(true);
    setChildRect(&emptyLabel, rfb::Rect(0, 0, width_, height_));
  } else {
    emptyLabel.setVisible(false);
  }
  if (viewport) {
    viewport->setContentSize(rfb::Point(rows.empty() ? 0 : width_, y));
    // A shorter list may have pulled the scroll position back.
    int offset = viewport->isVBarShown() ? viewport->getVScrollBar()->getValue() : 0;
    scrollOffset = offset;
  }
  invalidate();
}

rfb::Rect DownloadsUI::rowRect(const Item* row) const {
  return rfb::Rect(0, row->top - scrollOffset, width_, row->top - scrollOffset + row->height());
}

void DownloadsUI::repaintRow(const Item* row, const rfb::Rect& r) {
  if (std::find(rows.begin(), rows.end(), row) == rows.end())
    return;
  rfb::Rect area = r.translate(rowRect(row).tl).intersect(rfb::Rect(0, 0, width_, height_));
  if (!area.isEmpty())
    invalidateRegion(rfb::RectSet(area));
}

void DownloadsUI::select(Item* row, bool selected) {
  if (row->selected != selected) {
    row->selected = selected;
    repaintRow(row, rfb::Rect(0, 0, width_, row->height()));
  }
  if (!selected || !viewport)
    return;
  int viewHeight = viewport->getViewSize().y;
  int want = scrollOffset;
  if (row->top < scrollOffset)
    want = row->top;
  else if (row->top + row->height() > scrollOffset + viewHeight)
    want = row->top + row->height() - viewHeight;
  if (want != scrollOffset)
    viewport->setScrollPosition(rfb::Point(0, want));
}

void DownloadsUI::onScroll(const rfb::Point& topLeft) {
  if (topLeft.y == scrollOffset)
    return;
  scrollOffset = topLeft.y;
  invalidate();
}

DownloadsUI::Item* DownloadsUI::rowAt(const rfb::Point& pos) const {
  int y = pos.y + scrollOffset;
  if (pos.x < 0 || pos.x >= width_ || pos.y < 0 || pos.y >= height_)
    return nullptr;
  for (Item* row : rows)
    if (y >= row->top && y < row->top + row->height())
      return row;
  return nullptr;
}

DownloadsUI::Item* DownloadsUI::selectedRow() const {
  for (Item* row : rows)
    if (row->selected)
      return row;
  return nullptr;
}

void DownloadsUI::updateHover(const rfb::Point& pos) {
  Item* row = rowAt(pos);
  if (row != hoveredRow && hoveredRow) {
    Item* left = hoveredRow;
    if (left->hoveredButton != -1) {
      rfb::Rect r = left->buttonRect(width_, left->hoveredButton);
      left->hoveredButton = -1;
      repaintRow(left, r);
    }
  }
  hoveredRow = row;
  if (!row)
    return;
  rfb::Point inRow(pos.x, pos.y + scrollOffset - row->top);
  int button = row->buttonAt(width_, inRow);
  if (button != row->hoveredButton) {
    if (row->hoveredButton != -1 && row->hoveredButton < int(row->buttonActions().size()))
      repaintRow(row, row->buttonRect(width_, row->hoveredButton));
    row->hoveredButton = button;
    if (button != -1)
      repaintRow(row, row->buttonRect(width_, button));
  }
}

bool DownloadsUI::onPointerMove(const rfb::Point& pos, wvw::Widget* source) {
  if (source == this)
    updateHover(pos);
  return WLayout::onPointerMove(pos, source);
}

bool DownloadsUI::onButtonPress(int button, wvw::Widget* source) {
  if (source != this)
    return WLayout::onButtonPress(button, source);
  AliveCheck alive(this);
  takeFocus();
  if (alive.gone())
    return true;
  if (button == 0) {
    if (timer.isStarted() && hoveredRow && hoveredRow == pressedRow) {
      if (hoveredRow->offers(DownloadsDialog::Open)) {
        perform(DownloadsDialog::Open, hoveredRow);
        if (alive.gone())
          return true;
      }
    } else {
      timer.start(doubleClickMs);
    }
    pressedRow = hoveredRow;
    pressedButton = hoveredRow ? hoveredRow->hoveredButton : -1;
  }
  return true;
}

bool DownloadsUI::onButtonRelease(int button, wvw::Widget* source) {
  if (source != this)
    return WLayout::onButtonRelease(button, source);
  for (Item* row : rows)
    select(row, row == hoveredRow);
  if (button == 0) {
    if (hoveredRow && hoveredRow == pressedRow && hoveredRow->hoveredButton == pressedButton &&
        pressedButton != -1) {
      std::vector<DownloadsDialog::Action> buttons = hoveredRow->buttonActions();
      DownloadsDialog::Action a = pressedButton < int(buttons.size())
                                      ? buttons[size_t(pressedButton)]
                                      : DownloadsDialog::NoAction;
      PLAT_ASSERT(a != DownloadsDialog::NoAction);
      perform(a, hoveredRow);
    }
  } else if (button == 2 && hoveredRow) {
    showMenu(hoveredRow);
  }
  return true;
}

void DownloadsUI::perform(DownloadsDialog::Action action, Item* row) {
  try {
    downloadsDialog->performAction(action, row);
  } catch (const plat::Exception& e) {
    CommandList::log().error("%s", e.str());
  }
}

void DownloadsUI::clearMenu() {
  menuActions.clear();
  menuItems.clear();
}

void DownloadsUI::showMenu(Item* row) {
  menu.popdown();
  clearMenu();
  for (DownloadsDialog::Action a : row->actions) {
    auto item = std::make_unique<wvw::WMenuItem>(&menu, DownloadsDialog::actionName(a), false);
    menuActions[item.get()] = a;
    menuItems.push_back(std::move(item));
  }
  menu.layoutItems();
  menu.popup(lastPointer_);
}

bool DownloadsUI::onClick(wvw::Widget* source) {
  auto i = menuActions.find(static_cast<wvw::WMenuItem*>(source));
  if (i == menuActions.end())
    return WLayout::onClick(source);
  DownloadsDialog::Action action = i->second;
  Item* row = hoveredRow;
  menu.popdown();
  if (row && std::find(rows.begin(), rows.end(), row) != rows.end())
    perform(action, row);
  return true;
}

bool DownloadsUI::onKey(uint32_t keysym, bool down, wvw::Widget* source) {
  if (source != this || !down)
    return WLayout::onKey(keysym, down, source);
  Item* sel = selectedRow();
  switch (keysym) {
  case keys::Up:
    if (!sel) {
      if (!rows.empty())
        select(rows.back(), true);
    } else if (sel != rows.front()) {
      auto i = std::find(rows.begin(), rows.end(), sel);
      select(sel, false);
      select(*std::prev(i), true);
    }
    return true;
  case keys::Down:
    if (!sel) {
      if (!rows.empty())
        select(rows.front(), true);
    } else {
      auto i = std::next(std::find(rows.begin(), rows.end(), sel));
      if (i != rows.end()) {
        select(sel, false);
        select(*i, true);
      }
    }
    return true;
  case keys::Return:
    if (sel && sel->offers(DownloadsDialog::Open))
      perform(DownloadsDialog::Open, sel);
    return true;
  case keys::Delete:
    if (sel && sel->offers(DownloadsDialog::RemoveFromList))
      perform(DownloadsDialog::RemoveFromList, sel);
    return true;
  default:
    return WLayout::onKey(keysym, down, source);
  }
}

bool DownloadsUI::onSizeChange(wvw::Widget* source) {
  if (source == this) {
    if (rows.empty())
      setChildRect(&emptyLabel, rfb::Rect(0, 0, width_, height_));
    else if (viewport)
      viewport->setContentSize(rfb::Point(width_, rows.back()->top + rows.back()->height()));
    invalidate();
  }
  return WLayout::onSizeChange(source);
}

bool DownloadsUI::timerCallback(plat::Timer*) {
  return false;
}

bool DownloadsUI::acceptsFocus() {
  return isVisible() && isEnabled() && !rows.empty();
}

void DownloadsUI::getPreferredSize(int* width, int* height) {
  *width = 1;
  *height = 1;
}

wvw::WImage& DownloadsUI::buttonImage(DownloadsDialog::Action action, bool active) {
  switch (action) {
  case DownloadsDialog::Pause:
    return active ? pauseActive : pauseImage;
  case DownloadsDialog::Resume:
    return active ? playActive : playImage;
  case DownloadsDialog::Retry:
    return active ? retryActive : retryImage;
  default:
    return active ? closeActive : closeImage;
  }
}

void DownloadsUI::composite(rfb::WritablePixelBuffer* pb, wvw::WImage& image,
                            const rfb::Rect& box) {
  rfb::Rect area = box.intersect(pb->getRect());
  if (area.isEmpty())
    return;
  rfb::ManagedPixelBuffer& src = image.image();
  rfb::Point at(box.tl.x + (box.width() - src.width()) / 2,
                box.tl.y + (box.height() - src.height()) / 2);
  rfb::Rect dest = rfb::Rect::at(at, src.width(), src.height()).intersect(area);
  if (dest.isEmpty())
    return;
  rfb::compositeRect(&src, dest.tl.subtract(at), pb, dest, rfb::compositeOver);
}

void DownloadsUI::drawText(rfb::WritablePixelBuffer* pb, wvw::Font* font, const rfb::Rect& r,
                           const std::string& text, uint32_t pixel) {
  if (r.intersect(pb->getRect()).isEmpty() || text.empty())
    return;
  rfb::FullFramePixelBuffer view(*pb, r);
  font->drawText(&view, text.c_str(), rfb::Point(0, (r.height() - int(font->height)) / 2), pixel);
}

void DownloadsUI::drawRow(rfb::WritablePixelBuffer* pb, Item* row) {
  rfb::Rect rr = rowRect(row);
  if (rr.intersect(pb->getRect()).isEmpty())
    return;
  // Drawn in the row's own coordinates, clipped to what is visible of it.
  rfb::FullFramePixelBuffer view(*pb, rr);
  wvw::Style* s = getStyle();
  int W = width_;
  if (row->selected)
    view.fillRect(rfb::Rect(0, 0, W, row->height()),
                  wvw::colourToPixel(s->selectedBackground, &view));
  uint32_t text = wvw::colourToPixel(row->selected ? s->selectedTextColour : s->textColour, &view);

  composite(&view, row->icon, row->iconBox());
  if (row->failed)
    composite(&view, failImage, row->badgeBox());
  drawText(&view, titleFont, row->titleRect(W), row->name, text);
  if (row->progressShown) {
    rfb::Rect bar = row->progressRect(W);
    if (bar.width() > 4) {
      drawBevel(&view, bar, true, false);
      rfb::Rect inside = wvw::growRect(bar, -2);
      int filled = row->filledWidth(W);
      if (filled > 0)
        view.fillRect(rfb::Rect(inside.tl.x, inside.tl.y, inside.tl.x + filled, inside.br.y), text);
    }
  }
  drawText(&view, statusFont, row->statusRect(W), row->status, text);
  std::vector<DownloadsDialog::Action> buttons = row->buttonActions();
  for (size_t i = 0; i < buttons.size(); i++)
    composite(&view, buttonImage(buttons[i], row->hoveredButton == int(i)),
              row->buttonRect(W, int(i)));
}

void DownloadsUI::draw(rfb::WritablePixelBuffer* pb) {
  pb->fillRect(pb->getRect(), wvw::colourToPixel(getStyle()->background, pb));
  for (Item* row : rows)
    drawRow(pb, row);
  WLayout::draw(pb);
}

} // namespace ft
