#include "gtk/TrayIcon.h"

#include "gtk/Functions.h"
#include "gtk/Pixbuf.h"

namespace gtk {

TrayIcon::~TrayIcon() {
  menu_.release();
  icon_.release();
}

GtkStatusIcon* TrayIcon::getIcon() {
  if (icon_.empty()) {
    icon_.reset(gtk_status_icon_new());
    void* icon = icon_.get();
    g_signal_connect_data(icon, "activate",
                          reinterpret_cast<GCallback>(&TrayIcon::onActivateStatic), this, nullptr,
                          0);
    g_signal_connect_data(icon, "popup-menu", reinterpret_cast<GCallback>(&TrayIcon::onMenuStatic),
                          this, nullptr, 0);
    for (const char* signal : {"notify::embedded", "notify::visible", "notify::size"})
      g_signal_connect_data(icon, signal, reinterpret_cast<GCallback>(&TrayIcon::onChangedStatic),
                            this, nullptr, 0);
  }
  return statusIcon();
}

void TrayIcon::show() {
  gtk_status_icon_set_visible(getIcon(), 1);
}

void TrayIcon::hide() {
  gtk_status_icon_set_visible(getIcon(), 0);
}

void TrayIcon::setTooltip(const char* text) {
  gtk_status_icon_set_tooltip(getIcon(), text);
}

void TrayIcon::setIcon(const Pixbuf& pixbuf) {
  gtk_status_icon_set_from_pixbuf(getIcon(), pixbuf.pixbuf());
}

void TrayIcon::onMenu(std::uint32_t button, std::uint32_t activateTime) {
  // A menu without items is not shown.
  if (menu_.gtkMenu())
    menu_.popup(button, activateTime, statusIcon());
}

void TrayIcon::onActivateStatic(GtkStatusIcon*, gpointer data) {
  static_cast<TrayIcon*>(data)->onActivate();
}

void TrayIcon::onMenuStatic(GtkStatusIcon*, guint button, guint activateTime, gpointer data) {
  static_cast<TrayIcon*>(data)->onMenu(button, activateTime);
}

void TrayIcon::onChangedStatic(GtkStatusIcon*, void*, gpointer data) {
  static_cast<TrayIcon*>(data)->onChanged();
}

} // namespace gtk
