#include "serverconfig/UnixAccessDialog.h"

#include "plat/Exception.h"
#include "plat/LogWriter.h"
#include "plat/String.h"
#include "plat/unix/Passwd.h"
#include "ui/PlaceCheckBox.h"
#include "zav/Access.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace serverconfig {

static plat::LogWriter vlog("UnixAccessDialog");

namespace {
const int tabsWidth = 180;
const int tabsHeight = 200;
const int listWidth = 140;
const int listHeight = 160;
const int sideWidth = 96;
const int okWidth = 60;
const int buttonHeight = 25;
const int labelWidth = 150;

// The name of the user who runs the program; null until a lookup worked.
plat::String& currentUserName() {
  static plat::String name;
  return name;
}
} // namespace

const char* UnixAccessDialog::currentUser() {
  return currentUserName().get();
}

UnixAccessDialog::UnixAccessDialog(Display* dpy, TXWindow* parent, plat::ParameterSet* params)
    : TXDialog(dpy, 1, 1, "Permissions for Zav Server", false, true, parent), params_(params),
      hasShown_(false), users_(this), groups_(this), add_("Add User"), remove_("Remove User"),
      label_("Set user permissions:"), ok_("OK"), cancel_("Cancel"), errorCallback_(this) {
  error_ =
      std::make_unique<TXMsgBox>(dpy, "", TXMsgBox::IconError | TXMsgBox::OK, nullptr, false, this);
  error_->setCallback(&errorCallback_);

  const int p = xPad;
  users_.setSize(listWidth, listHeight);
  groups_.setSize(listWidth, listHeight);
  tabs_.addSheet("Users", &users_, -1);
  tabs_.addSheet("Groups", &groups_, -1);
  content_.addChildSized(&tabs_, rfb::Rect::at(rfb::Point(2 * p, 2 * p), tabsWidth, tabsHeight));
  // Where the sheets' content starts, below the tabs.
  tabs_.setCurrent(0);
  int contentTop = tabs_.getContentPosition().y;

  // The buttons and the label are never narrower than the longest of
  // their texts on either sheet, which would wrap.
  int w, h, sideButtonWidth = sideWidth;
  for (const char* text : {"Add User", "Remove User", "Add Group", "Remove Group"}) {
    wvw::WLabelButton sample(text);
    sample.getPreferredSize(&w, &h);
    sideButtonWidth = std::max(sideButtonWidth, w);
  }
  int sideX = 2 * p + tabsWidth + 2 * p;
  int y = 2 * p + contentTop - 10;
  content_.addChildSized(&add_, rfb::Rect::at(rfb::Point(sideX, y), sideButtonWidth, buttonHeight));
  y += buttonHeight + 2 * p;
  content_.addChildSized(&remove_,
                         rfb::Rect::at(rfb::Point(sideX, y), sideButtonWidth, buttonHeight));

  y = 2 * p + tabsHeight + 2 * p;
  label_.setMargin(0);
  label_.setWordWrap(false);
  int labelW = labelWidth;
  for (const char* text : {"Set user permissions:", "Set group permissions:"}) {
    label_.setText(text);
    label_.getPreferredSize(&w, &h);
    labelW = std::max(labelW, w);
  }
  label_.setText("Set user permissions:");
  content_.addChildSized(&label_, rfb::Rect::at(rfb::Point(2 * p, y), labelW, h));
  y += h;
  for (int i = 0; i < UnixAccessModel::boxCount; i++) {
    boxes_[size_t(i)] = std::make_unique<wvw::WLabelCheckBox>(UnixAccessModel::boxLabel(i), false);
    y += 2 * p;
    ui::placeCheckBox(&content_, boxes_[size_t(i)].get(), 2 * p, y, false);
    y += boxes_[size_t(i)]->height();
  }
  y += 3 * p;

  int right = 0;
  for (int i = 0; i < content_.numChildren(); i++)
    right = std::max(right, content_.getChildRect(content_.childAt(i)).br.x);
  int width = right + 2 * p;
  int cancelX = width - okWidth - 2 * p;
  content_.addChildSized(
      &ok_, rfb::Rect::at(rfb::Point(cancelX - p - okWidth, y), okWidth, buttonHeight));
  content_.addChildSized(&cancel_, rfb::Rect::at(rfb::Point(cancelX, y), okWidth, buttonHeight));
  content_.setInputHandler(this);
  setClientSize(width, p + y + buttonHeight + p, true);

  try {
    os::Passwd entry(getuid());
    const char* name = entry.isValid() ? entry.getName() : nullptr;
    if (!name || !*name)
      vlog.error("Current user has empty pw_name");
    else if (!currentUser() || strcmp(currentUser(), name) != 0)
      currentUserName() = name;
  } catch (const plat::SystemException&) {
    vlog.error("Cannot obtain the current user.");
  }

  tabs_.addCallback(this);
  tabs_.setCurrent(0);
  loadLists();
}

UnixAccessDialog::~UnixAccessDialog() {
  tabs_.removeCallback(this);
  content_.setInputHandler(nullptr);
  error_.reset();
  // The list boxes belong to the sheets while the tab sheets stand.
  for (int i = tabs_.getCount() - 1; i >= 0; i--)
    tabs_.removeSheet(i);
}

void UnixAccessDialog::show() {
  loadLists();
  TXDialog::show();
  if (!loadProblems_.empty())
    reportError(loadProblems_.c_str());
}

void UnixAccessDialog::loadLists() {
  for (UnixAccessModel::List list : {UnixAccessModel::Users, UnixAccessModel::Groups})
    for (const std::string& name : model_.names(list))
      listBox(list)->removeItem(name.c_str());
  loadProblems_.clear();
  try {
    model_.load(*params_, currentUser());
    for (const std::string& problem : model_.problems()) {
      vlog.error("%s", problem.c_str());
      loadProblems_ += (loadProblems_.empty() ? "" : "\n") + problem;
    }
  } catch (const plat::Exception& e) {
    // Without both parameters nothing is listed and OK writes nothing.
    vlog.error("%s", e.str());
    loadProblems_ = e.str();
    model_ = UnixAccessModel();
  }
  for (UnixAccessModel::List list : {UnixAccessModel::Users, UnixAccessModel::Groups})
    for (const std::string& name : model_.names(list))
      listBox(list)->addItem(name.c_str());
  sheetChanging(-1, tabs_.getCurrent());
}

UnixAccessModel::List UnixAccessDialog::currentList() {
  return tabs_.getCurrent() == 0 ? UnixAccessModel::Users : UnixAccessModel::Groups;
}

UnixAccessModel::List UnixAccessDialog::listOf(ui::WEditListBox* list) {
  return list == &users_ ? UnixAccessModel::Users : UnixAccessModel::Groups;
}

void UnixAccessDialog::reportError(const char* text) {
  error_->setText(text, 1, 1);
  error_->show();
  setInputDisabled(true);
}

void UnixAccessDialog::errorBoxClosed() {
  setInputDisabled(false);
}

void UnixAccessDialog::showRights(std::uint16_t rights) {
  UnixAccessModel::Boxes states = UnixAccessModel::showRights(rights);
  for (int i = 0; i < UnixAccessModel::boxCount; i++)
    boxes_[size_t(i)]->getCheckBox()->setChecked(states[size_t(i)]);
}

UnixAccessModel::Boxes UnixAccessDialog::boxStates() {
  UnixAccessModel::Boxes states{};
  for (int i = 0; i < UnixAccessModel::boxCount; i++)
    states[size_t(i)] = boxes_[size_t(i)]->getCheckBox()->isChecked();
  return states;
}

void UnixAccessDialog::setBoxesEnabled(bool enabled) {
  for (auto& b : boxes_)
    b->setEnabled(enabled);
}

void UnixAccessDialog::storeSelected() {
  if (hasShown_)
    model_.setRights(currentList(), shown_.c_str(), boxStates());
}

bool UnixAccessDialog::sheetChanging(int, int newIndex) {
  selectionCleared(nullptr);
  users_.endEdit(true);
  groups_.endEdit(true);
  bool users = newIndex == 0;
  label_.setText(users ? "Set user permissions:" : "Set group permissions:");
  add_.getLabel()->setText(users ? "Add User" : "Add Group");
  remove_.getLabel()->setText(users ? "Remove User" : "Remove Group");
  if (newIndex >= 0) {
    ui::WEditListBox* list = users ? &users_ : &groups_;
    int selected = list->getSelected();
    if (selected >= 0) {
      std::string text = list->item(selected)->getText();
      itemSelected(text.c_str(), list);
    }
  }
  return true;
}

void UnixAccessDialog::itemAdded(const char* text, ui::WEditListBox* list) {
  std::string name = text;
  try {
    model_.add(listOf(list), name.c_str());
  } catch (const plat::Exception& e) {
    list->removeItem(name.c_str());
    selectionCleared(list);
    reportError(e.str());
    return;
  }
  shown_ = name;
  hasShown_ = true;
  showRights(zav::Access::Default);
  setBoxesEnabled(true);
  remove_.setEnabled(true);
}

void UnixAccessDialog::itemRenamed(const char* oldText, const char* newText,
                                   ui::WEditListBox* list) {
  std::string from = oldText, to = newText;
  try {
    model_.rename(listOf(list), from.c_str(), to.c_str());
  } catch (const plat::Exception& e) {
    // The list box shows the old name again.
    for (int i = 0; i < list->numItems(); i++)
      if (to == list->item(i)->getText())
        list->item(i)->setText(from.c_str());
    reportError(e.str());
  }
}

void UnixAccessDialog::itemSelected(const char* text, ui::WEditListBox* list) {
  shown_ = text;
  hasShown_ = true;
  if (const UnixAccessModel::Entry* e = model_.find(listOf(list), shown_.c_str()))
    showRights(e->rights);
  setBoxesEnabled(true);
  add_.setEnabled(true);
  remove_.setEnabled(true);
  label_.setEnabled(true);
}

void UnixAccessDialog::selectionCleared(ui::WEditListBox*) {
  setBoxesEnabled(false);
  for (auto& b : boxes_)
    b->getCheckBox()->setChecked(false);
  add_.setEnabled(true);
  remove_.setEnabled(false);
  label_.setEnabled(false);
}

bool UnixAccessDialog::onClick(wvw::Widget* source) {
  for (int i = 0; i < UnixAccessModel::boxCount; i++) {
    if (source != boxes_[size_t(i)]->getCheckBox())
      continue;
    UnixAccessModel::Boxes states = boxStates();
    UnixAccessModel::click(states, i);
    for (int j = 0; j < UnixAccessModel::boxCount; j++)
      boxes_[size_t(j)]->getCheckBox()->setChecked(states[size_t(j)]);
    storeSelected();
    return true;
  }
  ui::WEditListBox* list = listBox(currentList());
  if (source == &add_) {
    selectionCleared(list);
    list->beginAdd();
    remove_.setEnabled(false);
  } else if (source == &remove_) {
    int selected = list->getSelected();
    std::string text = selected >= 0 ? list->item(selected)->getText() : "";
    list->removeSelected();
    if (selected >= 0)
      model_.remove(currentList(), text.c_str());
  } else if (source == &ok_) {
    // A name still being typed counts: it is finished before the lists
    // are written, so that OK does not lose it.
    users_.endEdit(true);
    groups_.endEdit(true);
    model_.store(*params_);
    finish(true);
  } else if (source == &cancel_) {
    // The list box keeps a dropped addition pending: its text goes first.
    for (ui::WEditListBox* box : {&users_, &groups_}) {
      if (box->isAdding())
        box->getEditField()->setText("");
      box->endEdit(false);
    }
    loadLists();
    finish(false);
  }
  return true;
}

void UnixAccessDialog::finish(bool result) {
  // Tells the callback; nothing here may be touched after.
  endDialog(result);
}

} // namespace serverconfig
