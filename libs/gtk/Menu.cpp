#include "gtk/Menu.h"

#include "gtk/Functions.h"

#include <cstdio>

namespace gtk {

Menu::Menu() : shared_(std::make_shared<Shared>()) {
}

std::uint32_t Menu::addItem(const char* label, int, bool check) {
  return add(check ? gtk_check_menu_item_new_with_label(label)
                   : gtk_menu_item_new_with_label(label));
}

std::uint32_t Menu::addSeparator(int) {
  return add(gtk_separator_menu_item_new());
}

std::uint32_t Menu::add(GtkWidget* item) {
  Shared& s = *shared_;
  if (s.menu.empty())
    s.menu.reset(gtk_menu_new());
  // The handler gets the shared state, which lives as long as any copy.
  g_signal_connect_data(item, "activate", reinterpret_cast<GCallback>(&Menu::onCommandStatic), &s,
                        nullptr, 0);
  gtk_menu_shell_append(static_cast<GtkMenuShell*>(s.menu.get()), item);
  gtk_widget_show(item);
  s.items.push_back(Item{s.nextId, item});
  return s.nextId++;
}

GtkWidget* Menu::findItem(std::uint32_t id) const {
  for (const Item& item : shared_->items)
    if (item.id == id)
      return item.widget;
  fprintf(stderr, "Unrecognised menu item ID: %d\n", static_cast<int>(id));
  return nullptr;
}

bool Menu::isChecked(std::uint32_t id) const {
  GtkWidget* item = findItem(id);
  return item && gtk_check_menu_item_get_active(reinterpret_cast<GtkCheckMenuItem*>(item)) != 0;
}

void Menu::setChecked(std::uint32_t id, bool checked) {
  if (GtkWidget* item = findItem(id))
    gtk_check_menu_item_set_active(reinterpret_cast<GtkCheckMenuItem*>(item), checked ? 1 : 0);
}

void Menu::setSensitive(std::uint32_t id, bool sensitive) {
  if (GtkWidget* item = findItem(id))
    gtk_widget_set_sensitive(item, sensitive ? 1 : 0);
}

void Menu::popup(guint button, std::uint32_t activateTime, GtkStatusIcon* statusIcon) const {
  GtkMenuPositionFunc position = nullptr;
  if (statusIcon)
    position = gtk_status_icon_position_menu_optional();
  gtk_menu_popup(gtkMenu(), nullptr, nullptr, position, position ? statusIcon : nullptr, button,
                 activateTime);
}

void Menu::release() {
  shared_ = std::make_shared<Shared>();
}

void Menu::onCommandStatic(GtkWidget* item, gpointer data) {
  Shared* s = static_cast<Shared*>(data);
  if (!s->callback)
    return;
  for (const Item& i : s->items) {
    if (i.widget == item) {
      s->callback->onCommand(i.id);
      return;
    }
  }
  fprintf(stderr, "Unrecognised widget: %p\n", static_cast<void*>(item));
}

} // namespace gtk
