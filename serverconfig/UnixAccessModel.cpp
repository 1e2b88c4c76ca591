#include "serverconfig/UnixAccessModel.h"

#include "plat/ConfigParameter.h"
#include "plat/Exception.h"
#include "plat/ParameterSet.h"
#include "plat/StringUtils.h"
#include "zav/Access.h"

#include <cctype>
#include <cstring>

namespace serverconfig {

namespace {

struct BoxInfo {
  const char* label;
  std::uint16_t right;
};

const BoxInfo boxInfo[UnixAccessModel::boxCount] = {
    {"View display contents", zav::Access::View},
    {"Send pointer events", zav::Access::PtrEvents},
    {"Send keyboard events", zav::Access::KeyEvents},
    {"Send and receive clipboard contents", zav::Access::CutText},
    {"Send and receive files", zav::Access::FileTransfer},
    {"Add Zav printers", zav::Access::Printing},
    {"Accept chat messages", zav::Access::Chat},
    {"Default access", zav::Access::Default},
    {"Connect without accept/reject prompt", zav::Access::NoQuery},
    {"Full access", zav::Access::Full},
};

const char* const parameterNames[2] = {"AllowedUsers", "AllowedGroups"};

bool isRightBox(int box) {
  return box >= UnixAccessModel::ViewBox && box <= UnixAccessModel::ChatBox;
}

} // namespace

const char* UnixAccessModel::boxLabel(int box) {
  return box >= 0 && box < boxCount ? boxInfo[box].label : "";
}

std::uint16_t UnixAccessModel::boxRight(int box) {
  return box >= 0 && box < boxCount ? boxInfo[box].right : 0;
}

UnixAccessModel::Boxes UnixAccessModel::showRights(std::uint16_t rights) {
  Boxes boxes{};
  for (int i = 0; i < boxCount; i++)
    boxes[i] = (rights & boxInfo[i].right) == boxInfo[i].right;
  return boxes;
}

std::uint16_t UnixAccessModel::rightsFromBoxes(const Boxes& boxes) {
  std::uint16_t rights = zav::Access::NoAccess;
  for (int i = 0; i < boxCount; i++)
    if (boxes[i])
      rights |= boxInfo[i].right;
  return rights;
}

plat::String UnixAccessModel::lettersFromBoxes(const Boxes& boxes) {
  if (boxes[FullBox])
    return "f";
  std::string letters;
  if (boxes[NoQueryBox])
    letters += 'q';
  if (boxes[DefaultBox])
    return (letters + "d").c_str();
  const struct {
    int box;
    char letter;
  } order[] = {{ViewBox, 'v'},         {KeyEventsBox, 'k'}, {PtrEventsBox, 'p'}, {CutTextBox, 'c'},
               {FileTransferBox, 't'}, {ChatBox, 'h'},      {PrintingBox, 'r'}};
  for (const auto& o : order)
    if (boxes[o.box])
      letters += o.letter;
  return letters.c_str();
}

void UnixAccessModel::click(Boxes& boxes, int box) {
  if (box < 0 || box >= boxCount)
    return;
  bool ticked = boxes[box];
  if (ticked && (box == FullBox || box == DefaultBox)) {
    boxes = showRights(rightsFromBoxes(boxes));
  } else if (!ticked && isRightBox(box)) {
    boxes[DefaultBox] = false;
    boxes[FullBox] = false;
  } else if (!ticked && (box == NoQueryBox || box == DefaultBox)) {
    boxes[FullBox] = false;
  }
}

void UnixAccessModel::checkName(const char* name) {
  if (!name || !*name)
    throw plat::Exception("Please enter a name.");
  for (const char* p = name; *p; p++) {
    if (*p == ',' || *p == ':' || isspace(static_cast<unsigned char>(*p)))
      throw plat::ExceptionFmt("The name \"%s\" may not contain \",\", \":\" or blanks.", name);
  }
}

void UnixAccessModel::load(const plat::ParameterSet& config, const char* currentUser) {
  plat::String users = config.get(parameterNames[Users])->getValueStr();
  plat::String groups = config.get(parameterNames[Groups])->getValueStr();
  problems_.clear();
  loadList(Users, users.get(), currentUser);
  loadList(Groups, groups.get(), nullptr);
}

void UnixAccessModel::loadList(List list, const char* text, const char* currentUser) {
  std::vector<Entry>& entries = lists_[list];
  entries.clear();
  for (const std::string& piece : plat::strSplitAll(text, ',')) {
    // An empty piece carries nothing; dropping it keeps later additions
    // from following a stray ",".
    if (piece.empty())
      continue;
    Entry entry;
    size_t colon = piece.find(':');
    std::string name = colon == std::string::npos ? "" : piece.substr(0, colon);
    if (colon == std::string::npos || (list == Users && name.empty() && !currentUser)) {
      // Not shown: carried over as it stands.
      entry.listed = false;
      entry.letters = piece.c_str();
    } else {
      if (list == Users && name.empty())
        name = currentUser;
      std::string letters = piece.substr(colon + 1);
      entry.name = name.c_str();
      entry.letters = letters.c_str();
      try {
        entry.rights = zav::Access::Rights(letters.c_str(), false, zav::Access::NoAccess);
      } catch (const zav::Access::Rights::BadAccessException& e) {
        // Keep the entry as read: its letters are written back unless edited.
        entry.rights = zav::Access::Rights(letters.c_str(), true, zav::Access::NoAccess);
        problems_.push_back(std::string("Unknown access right \"") + e.letter() + "\" in " +
                            parameterNames[list] + " entry \"" + piece + "\"");
      }
    }
    entries.push_back(std::move(entry));
  }
}

plat::String UnixAccessModel::listText(List list) const {
  std::string text;
  bool first = true;
  for (const Entry& e : lists_[list]) {
    if (!first)
      text += ',';
    first = false;
    if (e.listed)
      text += std::string(e.name.c_str()) + ":" + e.letters.c_str();
    else
      text += e.letters.c_str();
  }
  return text.c_str();
}

void UnixAccessModel::store(plat::ParameterSet& config) const {
  config.setParam(parameterNames[Users], listText(Users).c_str(), 50);
  config.setParam(parameterNames[Groups], listText(Groups).c_str(), 50);
}

std::vector<std::string> UnixAccessModel::names(List list) const {
  std::vector<std::string> result;
  for (const Entry& e : lists_[list]) {
    if (!e.listed)
      continue;
    bool seen = false;
    for (const std::string& n : result)
      seen = seen || n == e.name.c_str();
    if (!seen)
      result.push_back(e.name.c_str());
  }
  return result;
}

const UnixAccessModel::Entry* UnixAccessModel::find(List list, const char* name) const {
  return const_cast<UnixAccessModel*>(this)->findMutable(list, name);
}

UnixAccessModel::Entry* UnixAccessModel::findMutable(List list, const char* name) {
  for (Entry& e : lists_[list])
    if (e.listed && name && strcmp(e.name.c_str(), name) == 0)
      return &e;
  return nullptr;
}

bool UnixAccessModel::add(List list, const char* name) {
  checkName(name);
  if (findMutable(list, name))
    return false;
  Entry entry;
  entry.name = name;
  entry.rights = zav::Access::Default;
  entry.letters = "d";
  lists_[list].push_back(std::move(entry));
  return true;
}

void UnixAccessModel::rename(List list, const char* oldName, const char* newName) {
  if (strcmp(oldName, newName) == 0)
    return;
  checkName(newName);
  if (Entry* e = findMutable(list, oldName))
    e->name = newName;
}

void UnixAccessModel::setRights(List list, const char* name, const Boxes& boxes) {
  if (Entry* e = findMutable(list, name)) {
    e->rights = rightsFromBoxes(boxes);
    e->letters = lettersFromBoxes(boxes);
  }
}

void UnixAccessModel::remove(List list, const char* name) {
  std::vector<Entry>& entries = lists_[list];
  for (auto it = entries.begin(); it != entries.end(); ++it) {
    if (it->listed && name && strcmp(it->name.c_str(), name) == 0) {
      entries.erase(it);
      return;
    }
  }
}

} // namespace serverconfig
