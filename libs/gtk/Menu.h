// A GTK pop-up menu of plain items, check items and separators, reached
// through the run-time binding. Items get ids 1, 2, 3 ... in order of
// addition (separators included); a chosen item is reported to the menu's
// Callback by id. Copies of a Menu share one GtkMenu and one item list, so
// that the items' "activate" handlers reach whichever copy outlives the
// others; the GtkMenu is released with the last copy.
#pragma once

#include "gtk/Object.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace gtk {

class Menu {
public:
  class Callback {
  public:
    virtual ~Callback() = default;
    virtual void onCommand(std::uint32_t id) = 0;
  };

  Menu();

  // A plain item, or a check item when check is set. Items appear in the
  // order in which they are added; position does not change that.
  std::uint32_t addItem(const char* label, int position = -1, bool check = false);
  std::uint32_t addSeparator(int position = -1);

  // The item's widget; null, after a message on standard error, for an
  // unknown id.
  GtkWidget* findItem(std::uint32_t id) const;
  bool isChecked(std::uint32_t id) const;
  void setChecked(std::uint32_t id, bool checked);
  void setSensitive(std::uint32_t id, bool sensitive);

  // The callback is not owned; null ignores the items' activation.
  void setCallback(Callback* callback) { shared_->callback = callback; }

  // Pops the menu up; with a status icon it is placed at the icon where the
  // library can do so.
  void popup(guint button, std::uint32_t activateTime, GtkStatusIcon* statusIcon) const;

  // The GtkMenu; null until the first item is added.
  GtkMenu* gtkMenu() const { return static_cast<GtkMenu*>(shared_->menu.get()); }

  // Lets go of the GtkMenu and the item list (this copy only).
  void release();

  // The "activate" handler of every item; data is the menu's shared state.
  static void onCommandStatic(GtkWidget* item, gpointer data);

private:
  struct Item {
    std::uint32_t id;
    GtkWidget* widget;
  };
  struct Shared {
    std::vector<Item> items;
    Object menu;
    Callback* callback = nullptr;
    std::uint32_t nextId = 1;
  };

  std::uint32_t add(GtkWidget* item);

  std::shared_ptr<Shared> shared_;
};

} // namespace gtk
