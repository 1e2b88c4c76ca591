// The users and groups access lists behind the permissions dialog: the
// "AllowedUsers" and "AllowedGroups" parameters ("name:letters" entries
// joined by ",") read into two ordered lists, the ten rights tick boxes with
// their cascade, the letters generated from them, and the lists written
// back. Owns its entries; the parameter set belongs to the caller.
//
// Entries are kept as read until edited: letters the program does not know
// are reported and kept, and pieces the dialog does not list (no ':', or an
// empty user name while the current user is unknown) are written back
// unchanged, so saving never loses what another tool wrote.
#pragma once

#include "plat/String.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace plat {
class ParameterSet;
}

namespace serverconfig {

class UnixAccessModel {
public:
  enum List { Users = 0, Groups = 1 };

  // The tick boxes in their order on screen.
  enum Box {
    ViewBox,
    PtrEventsBox,
    KeyEventsBox,
    CutTextBox,
    FileTransferBox,
    PrintingBox,
    ChatBox,
    DefaultBox,
    NoQueryBox,
    FullBox,
    boxCount
  };
  using Boxes = std::array<bool, boxCount>;

  struct Entry {
    plat::String name;
    std::uint16_t rights = 0;
    plat::String letters; // as read, until the rights are edited
    bool listed = true;   // false: a piece carried over unread (raw in letters)
  };

  static const char* boxLabel(int box);
  static std::uint16_t boxRight(int box);
  // Each box ticked exactly when all bits of its right are present.
  static Boxes showRights(std::uint16_t rights);
  static std::uint16_t rightsFromBoxes(const Boxes& boxes);
  // "f"; or an optional "q" then "d" or the letters of "vkpcthr" ticked.
  static plat::String lettersFromBoxes(const Boxes& boxes);
  // The box has just been clicked (boxes shows its new state): applies the
  // cascade to the other boxes.
  static void click(Boxes& boxes, int box);

  // A name goes into a "name:letters" list: ",", ":", blanks and the empty
  // name are refused with plat::Exception.
  static void checkName(const char* name);

  // Reads both parameters (throws plat::Exception when the set lacks one);
  // an empty user name stands for currentUser (may be null).
  void load(const plat::ParameterSet& config, const char* currentUser);
  // Messages about entries kept as read (unknown letters), from the last load.
  const std::vector<std::string>& problems() const { return problems_; }
  // Writes both lists at priority 50.
  void store(plat::ParameterSet& config) const;
  // The text written for one list.
  plat::String listText(List list) const;

  const std::vector<Entry>& entries(List list) const { return lists_[list]; }
  // The names shown in a list box: listed entries, each name once, in order.
  std::vector<std::string> names(List list) const;
  // The first listed entry of that name, or null.
  const Entry* find(List list, const char* name) const;

  // A name added by the user: Default rights, letters "d". False (nothing
  // added) when it is already listed.
  bool add(List list, const char* name);
  // The first entry of the old name takes the new one.
  void rename(List list, const char* oldName, const char* newName);
  // The first entry of the name takes the boxes' rights and letters.
  void setRights(List list, const char* name, const Boxes& boxes);
  // Erases the first entry of the name.
  void remove(List list, const char* name);

private:
  Entry* findMutable(List list, const char* name);
  void loadList(List list, const char* text, const char* currentUser);

  std::array<std::vector<Entry>, 2> lists_;
  std::vector<std::string> problems_;
};

} // namespace serverconfig
