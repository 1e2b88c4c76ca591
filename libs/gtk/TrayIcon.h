// A GTK status icon in the desktop's notification area with its pop-up menu.
// The GtkStatusIcon is created on the first show, hide, setTooltip or
// setIcon and kept from then on. Derived classes override the three signal
// operations: a click (onActivate), a menu request (onMenu, which by default
// pops the icon's menu up at the icon) and a change of the icon's embedded,
// visible or size state (onChanged).
#pragma once

#include "gtk/Menu.h"
#include "gtk/Object.h"

#include <cstdint>

namespace gtk {

class Pixbuf;

class TrayIcon {
public:
  TrayIcon() = default;
  virtual ~TrayIcon();
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  virtual void onActivate() {}
  virtual void onMenu(std::uint32_t button, std::uint32_t activateTime);
  virtual void onChanged() {}

  void show();
  void hide();
  void setTooltip(const char* text);
  void setIcon(const Pixbuf& pixbuf);
  void setMenu(const Menu& menu) { menu_ = menu; }
  Menu& getMenu() { return menu_; }

  // The status icon; null before it was first needed.
  GtkStatusIcon* statusIcon() const { return static_cast<GtkStatusIcon*>(icon_.get()); }

  static void onActivateStatic(GtkStatusIcon* icon, gpointer data);
  static void onMenuStatic(GtkStatusIcon* icon, guint button, guint activateTime, gpointer data);
  static void onChangedStatic(GtkStatusIcon* icon, void* paramSpec, gpointer data);

private:
  GtkStatusIcon* getIcon();

  Object icon_;
  Menu menu_;
};

} // namespace gtk
