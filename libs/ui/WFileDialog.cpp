#include "ui/WFileDialog.h"

#include "rfb/KeysymNames.h"

#include "plat/Exception.h"
#include "plat/LogWriter.h"

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

static plat::LogWriter vlog("WFileDialog");

namespace {
namespace keys = rfb::keys;
// Room for the horizontal scroll bar under a list wider than its view.
const int scrollBarHeight = 16;
// What an item keeps clear of the view's edge when scrolled into view.
const int itemMargin = 4;

// The path resolved when it exists; otherwise as given.
std::string resolvedOrSame(const std::string& path) {
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved))
    return resolved;
  return path;
}

bool isDirectory(const char* path) {
  struct stat st;
  return path && *path && stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}
} // namespace

namespace ui {

plat::String resolvePath(const char* path) {
  if (!path || !*path)
    return plat::String();
  char resolved[PATH_MAX];
  if (realpath(path, resolved))
    return plat::String(resolved);
  std::string p = path;
  for (size_t slash = p.rfind('/'); slash != std::string::npos && slash > 0;
       slash = p.rfind('/', slash - 1)) {
    if (!realpath(p.substr(0, slash).c_str(), resolved))
      continue;
    std::string joined = resolved;
    // The root resolves to "/": no second "/" after it.
    if (joined.back() != '/')
      joined += '/';
    joined += p.substr(slash + 1);
    return plat::String(joined.c_str());
  }
  return plat::String(path);
}

WFileDialog::WFileDialog(Display* dpy, bool modal, TXWindow* transientFor)
    : TXDialog(dpy, 1, 1, "", modal, true, transientFor), list_(this), pathLabel_("Path:"),
      pathField_(255), hidden_("Show hidden items", false), ok_("OK"), cancel_("Cancel"),
      attached_(false), followSelection_(true), browser_(nullptr),
      errorBox_(dpy, "", TXMsgBox::IconError | TXMsgBox::OK, nullptr, false, this) {
  scroll_.setChild(&list_);
  prompt_.setWordWrap(true);
  hidden_.setProportions(0, 0);
  hidden_.setLabelRight(true);

  content_.addChild(&pathField_);
  content_.addChild(&hidden_);
  content_.addChild(&ok_);
  content_.addChild(&cancel_);
  content_.addChild(&scroll_);
  content_.addChild(&prompt_);
  content_.addChild(&pathLabel_);

  int w = 0, h = 0;
  pathLabel_.getPreferredSize(&w, &h);
  pathLabel_.setSize(w, h);
  cancel_.getPreferredSize(&w, &h);
  ok_.setSize(w + 8, h + 4);
  cancel_.setSize(w + 8, h + 4);
  hidden_.getPreferredSize(&w, &h);
  hidden_.setSize(w, h);

  content_.setInputHandler(this);
  errorBox_.setCallback(this);
  setContentSize(400, 200);
}

WFileDialog::~WFileDialog() {
  content_.setInputHandler(nullptr);
  for (wvw::Widget* w : std::vector<wvw::Widget*>{&pathLabel_, &prompt_, &scroll_, &cancel_, &ok_,
                                                  &hidden_, &pathField_})
    content_.removeChild(w);
  scroll_.setChild(nullptr);
}

std::string WFileDialog::currentDirText() const {
  const char* path = browser_ ? browser_->getPath() : nullptr;
  std::string text = path ? path : "";
  if (text.empty() || text.back() != '/')
    text += '/';
  return text;
}

std::string WFileDialog::pathIn(const std::string& name) const {
  const char* path = browser_ ? browser_->getPath() : nullptr;
  std::string text = path ? path : "";
  if (!text.empty() && text.back() != '/')
    text += '/';
  return text + name;
}

void WFileDialog::setFieldText(const std::string& text) {
  if (text != pathField_.getText())
    pathField_.setText(text.c_str());
}

void WFileDialog::setItemGetter(DirBrowser* browser) {
  browser_ = browser;
  if (browser_) {
    const char* path = browser_->getPath();
    std::string text = path ? path : "";
    // The field shows a folder as one, so that the dialog opens in it: cut
    // at its last "/", the path would open the folder above with it
    // selected.
    if (!text.empty() && text.back() != '/' &&
        (isDirectory(pathField_.getText()) || isDirectory(text.c_str())))
      text += '/';
    setFieldText(text);
    hidden_.getCheckBox()->setChecked(browser_->getFlags() & DirBrowser::ShowHidden);
  }
  updateOk();
  if (attached_)
    listDirectory(false);
}

void WFileDialog::setMode(bool multiple) {
  list_.setMultipleSelection(multiple);
}

void WFileDialog::setPrompt(const char* text) {
  prompt_.setText(text);
  layOut();
}

void WFileDialog::setTitle(const char* title) {
  setupToplevel(title, this);
}

void WFileDialog::getSelectedPaths(std::vector<plat::String>* paths) {
  paths->clear();
  std::string dir = currentDirText();
  for (const WFileList::Item& item : list_.items())
    if (item.selected && item.name != "..")
      paths->emplace_back((dir + item.name).c_str());
  if (paths->empty())
    paths->emplace_back(pathField_.getText());
}

plat::String WFileDialog::getResolvedPath() {
  return resolvePath(pathField_.getText());
}

void WFileDialog::setCompletions(const std::string& prefix) {
  std::vector<std::string> words;
  for (const WFileList::Item& item : list_.items())
    if (item.name != "..")
      words.push_back(prefix + item.name);
  words.push_back(prefix);
  pathField_.setCompletions(words, true);
  completionPrefix_ = prefix;
}

void WFileDialog::listDirectory(bool forEdit, const std::string& typedDir, bool skipRefresh) {
  if (!forEdit)
    setFieldText(currentDirText());
  if (!skipRefresh) {
    try {
      list_.refresh(browser_);
    } catch (plat::Exception& e) {
      vlog.debug("%s", e.str());
      list_.refresh(nullptr);
    }
  }
  setCompletions(forEdit ? typedDir : currentDirText());
  scroll_.setScrollPosition(rfb::Point(0, 0));
  fitList();
  updateOk();
}

void WFileDialog::fitList() {
  int w = scroll_.width(), h = scroll_.height();
  list_.setMinWidth(w);
  list_.setHeight(h, false);
  if (list_.width() > w)
    list_.setHeight(std::max(0, h - scrollBarHeight), false);
}

void WFileDialog::layOut() {
  int dx = xPad, dy = yPad;
  int W = content_.width(), H = content_.height();
  int fw = 0, fh = 0;
  pathField_.getPreferredSize(&fw, &fh);
  pathField_.setSize(std::max(0, W - pathLabel_.width() - 3 * dx), fh);
  prompt_.setSize(std::max(0, W - 2 * dx), prompt_.height());
  int pw = 0, ph = 0;
  prompt_.getPreferredSize(&pw, &ph);
  prompt_.setSize(std::max(0, W - 2 * dx), ph);
  int sh = std::max(0, H - fh - ph - ok_.height() - 5 * dy);
  scroll_.setSize(std::max(0, W - 2 * dx), sh);
  fitList();

  content_.moveChild(&scroll_, rfb::Point(dx, dy));
  content_.moveChild(&prompt_, rfb::Point(dx, 2 * dy + sh));
  int row = 3 * dy + sh + ph;
  content_.moveChild(&pathLabel_, rfb::Point(dx, row + (fh - pathLabel_.height()) / 2));
  content_.moveChild(&pathField_, rfb::Point(2 * dx + pathLabel_.width(), row));

  int bottom = row + dy + fh;
  int x = W - dx - cancel_.width();
  content_.moveChild(&cancel_, rfb::Point(x, bottom));
  x -= dx + ok_.width();
  content_.moveChild(&ok_, rfb::Point(x, bottom));
  x -= dx + hidden_.width();
  content_.moveChild(&hidden_, rfb::Point(x, bottom + (ok_.height() - hidden_.height()) / 2));
}

void WFileDialog::updateOk() {
  std::vector<plat::String> paths;
  getSelectedPaths(&paths);
  ok_.setEnabled(!browser_ || browser_->canChoose(paths));
}

void WFileDialog::selectionChanged(WFileList*, WFileList::Item* item) {
  if (item) {
    rfb::Rect visible = scroll_.getVisibleRect();
    if (visible.tl.x > item->rect.tl.x - itemMargin)
      scroll_.setScrollPosition(rfb::Point(item->rect.tl.x - itemMargin, visible.tl.y));
    else if (visible.br.x < item->rect.br.x + itemMargin)
      scroll_.setScrollPosition(
          rfb::Point(item->rect.br.x + itemMargin - visible.width(), visible.tl.y));
  }
  if (followSelection_) {
    const WFileList::Item* only = nullptr;
    int selected = 0;
    for (const WFileList::Item& i : list_.items()) {
      if (i.selected) {
        only = &i;
        selected++;
      }
    }
    setFieldText(selected == 1 ? pathIn(only->name) : currentDirText());
  }
  updateOk();
}

void WFileDialog::itemActivated(WFileList*, WFileList::Item* item) {
  if (!item->isDirectory) {
    clickOk();
    return;
  }
  if (!browser_)
    return;
  plat::String previous = browser_->getPath();
  std::string target = pathIn(item->name);
  try {
    browser_->setPath(target.c_str());
    // The refresh reports a directory that cannot be entered; the listing
    // that follows would only log it.
    list_.refresh(browser_);
  } catch (plat::Exception& e) {
    vlog.status("%s: %s", target.c_str(), e.str());
    browser_->setPath(previous.get());
    errorBox_.setText(e.str(), 1, 1);
    setInputDisabled(true);
    errorBox_.show();
    return;
  }
  listDirectory(false, std::string(), true);
}

void WFileDialog::dialogFinished(TXDialog* dialog, bool) {
  if (dialog == &errorBox_)
    setInputDisabled(false);
}

void WFileDialog::clickOk() {
  if (ok_.isEnabled())
    accept();
}

void WFileDialog::accept() {
  if (!done_)
    endDialog(true);
}

void WFileDialog::cancel() {
  if (!done_)
    endDialog(false);
}

// An edit of the path field: the list follows the directory typed, and an
// exact name selects its entry. The field is never rewritten here: the user
// is typing into it (and a pasted path must stay whole). Directories are
// compared resolved, so that a path through a symbolic link or ".." does
// not list the directory anew at every key.
void WFileDialog::pathEdited() {
  std::string text = pathField_.getText();
  size_t slash = text.rfind('/');
  std::string dir, name, typedDir;
  if (slash == std::string::npos) {
    name = text;
  } else {
    dir = slash == 0 ? "/" : text.substr(0, slash);
    name = text.substr(slash + 1);
    typedDir = text.substr(0, slash + 1);
  }
  if (browser_) {
    const char* current = browser_->getPath();
    if (resolvedOrSame(dir) != (current ? current : "")) {
      browser_->setPath(dir.c_str());
      listDirectory(true, typedDir);
    } else if (typedDir != completionPrefix_) {
      setCompletions(typedDir);
    }
  }
  if (!name.empty()) {
    followSelection_ = false;
    list_.selectByName(name.c_str(), false);
    followSelection_ = true;
  }
  updateOk();
}

bool WFileDialog::onChange(wvw::Widget* source) {
  if (source == &pathField_) {
    pathEdited();
    return true;
  }
  if (source == hidden_.getCheckBox()->getCheck()) {
    bool show = hidden_.getCheckBox()->isChecked();
    // setItemGetter shows the browser's own flag: nothing changed then.
    if (!browser_ || bool(browser_->getFlags() & DirBrowser::ShowHidden) == show)
      return true;
    uint32_t flags = browser_->getFlags() & ~uint32_t(DirBrowser::ShowHidden);
    browser_->setFlags(show ? flags | DirBrowser::ShowHidden : flags);
    listDirectory(false);
    return true;
  }
  return false;
}

void WFileDialog::selectPathComponent(bool backwards) {
  int caret = 0, anchor = 0;
  pathField_.getSelection(&caret, &anchor);
  if (caret != anchor)
    return;
  if (!backwards) {
    pathField_.setSelection(caret, -1);
    return;
  }
  const char* text = pathField_.getText();
  // The "/" just before the caret belongs to the component being removed.
  int from = 0;
  for (int i = caret - 2; i >= 0; i--) {
    if (text[i] == '/') {
      from = i + 1;
      break;
    }
  }
  if (from == 0 && text[0] == '/')
    from = 1;
  pathField_.setSelection(from, caret);
}

bool WFileDialog::onKey(uint32_t keysym, bool down, wvw::Widget* source) {
  if (done_)
    return true;
  bool inField = source == &pathField_;
  if (down && keysym == keys::Escape) {
    onClick(&cancel_);
    return true;
  }
  if (down && keysym == keys::Return && (inField || source == &list_)) {
    onClick(&ok_);
    return true;
  }
  if (keysym == keys::Up || keysym == keys::Down) {
    if (down) {
      if (keysym == keys::Up)
        list_.selectPrevious();
      else
        list_.selectNext();
    }
    return true;
  }
  if (inField && down) {
    if (keysym == keys::slash) {
      pathField_.clearSelection();
    } else if (keysym == keys::BackSpace && pathField_.isControlDown()) {
      selectPathComponent(true);
    } else if (keysym == keys::Delete && pathField_.isControlDown()) {
      selectPathComponent(false);
    }
  }
  return false;
}

bool WFileDialog::onClick(wvw::Widget* source) {
  if (source == &ok_) {
    clickOk();
    return true;
  }
  if (source == &cancel_) {
    cancel();
    return true;
  }
  return false;
}

bool WFileDialog::onAttach(wvw::Widget* source) {
  if (source == &list_) {
    attached_ = true;
    listDirectory(false);
  }
  return false;
}

bool WFileDialog::onDetach(wvw::Widget* source) {
  if (source == &list_)
    attached_ = false;
  return false;
}

bool WFileDialog::onSizeChange(wvw::Widget* source) {
  if (source == &content_)
    layOut();
  return false;
}

} // namespace ui
