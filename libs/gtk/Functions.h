// The functions of GTK+, GLib, GObject, GIO, GdkPixbuf, GNOME UI and GNOME
// VFS that the program calls, each bound at run time on its first call. A
// wrapper has the library function's name and parameters. When its library or
// function is missing it throws gtk::LoadFailed, and tries again on the next
// call; once bound, the library stays open until the process exits.
#pragma once

#include "gtk/Types.h"

namespace gtk {

// GTK start-up and main loop.
void gtk_init(int* argc, char*** argv);
gboolean gtk_init_check(int* argc, char*** argv);
void gtk_main();
void gtk_main_quit();

// The tray icon.
GtkStatusIcon* gtk_status_icon_new();
void gtk_status_icon_set_visible(GtkStatusIcon* icon, gboolean visible);
void gtk_status_icon_set_tooltip(GtkStatusIcon* icon, const gchar* text);
void gtk_status_icon_set_from_pixbuf(GtkStatusIcon* icon, GdkPixbuf* pixbuf);
gboolean gtk_status_icon_is_embedded(GtkStatusIcon* icon);
gboolean gtk_status_icon_get_visible(GtkStatusIcon* icon);

// Menus.
GtkWidget* gtk_menu_new();
GtkWidget* gtk_menu_item_new_with_label(const gchar* label);
GtkWidget* gtk_check_menu_item_new_with_label(const gchar* label);
GtkWidget* gtk_separator_menu_item_new();
void gtk_menu_shell_append(GtkMenuShell* shell, GtkWidget* child);
void gtk_menu_popup(GtkMenu* menu, GtkWidget* parentShell, GtkWidget* parentItem,
                    GtkMenuPositionFunc position, gpointer data, guint button,
                    std::uint32_t activateTime);
gboolean gtk_check_menu_item_get_active(GtkCheckMenuItem* item);
void gtk_check_menu_item_set_active(GtkCheckMenuItem* item, gboolean active);
void gtk_widget_show(GtkWidget* widget);
void gtk_widget_set_sensitive(GtkWidget* widget, gboolean sensitive);

// The icon theme.
GtkIconTheme* gtk_icon_theme_new();
void gtk_icon_theme_set_custom_theme(GtkIconTheme* theme, const gchar* name);
GtkIconInfo* gtk_icon_theme_lookup_icon(GtkIconTheme* theme, const gchar* name, gint size,
                                        GtkIconLookupFlags flags);
GtkIconInfo* gtk_icon_theme_choose_icon(GtkIconTheme* theme, const gchar* names[], gint size,
                                        GtkIconLookupFlags flags);
GdkPixbuf* gtk_icon_info_load_icon(GtkIconInfo* info, GError** error);
void gtk_icon_info_free(GtkIconInfo* info);

// Signals and object references (looked up through the GTK library).
gulong g_signal_connect_data(gpointer instance, const gchar* signal, GCallback handler,
                             gpointer data, GClosureNotify destroyData, GConnectFlags flags);
void g_object_unref(gpointer object);
gpointer g_object_ref(gpointer object);
// g_object_ref_sink where the library has it, g_object_ref otherwise.
gpointer g_object_ref_sink(gpointer object);
// False where the library has no floating references.
gboolean g_object_is_floating(gpointer object);

// GLib.
GIOChannel* g_io_channel_unix_new(int fd);
guint g_io_add_watch(GIOChannel* channel, GIOCondition condition, GIOFunc func, gpointer data);
guint g_timeout_add(guint interval, GSourceFunc func, gpointer data);
void g_free(gpointer memory);

// GObject types.
void g_type_init();
gboolean g_type_check_instance_is_a(GTypeInstance* instance, GType type);

// GIO content types.
gchar* g_content_type_guess(const gchar* fileName, const guchar* data, gsize dataSize,
                            gboolean* uncertain);
GIcon* g_content_type_get_icon(const gchar* type);
GType g_themed_icon_get_type();
const gchar* const* g_themed_icon_get_names(GThemedIcon* icon);

// GdkPixbuf.
GdkPixbuf* gdk_pixbuf_new_from_data(const guchar* data, GdkColorspace colorspace, gboolean hasAlpha,
                                    int bitsPerSample, int width, int height, int rowstride,
                                    GdkPixbufDestroyNotify destroy, gpointer destroyData);
GdkPixbuf* gdk_pixbuf_new_from_file(const char* fileName, GError** error);
guchar* gdk_pixbuf_get_pixels(const GdkPixbuf* pixbuf);
int gdk_pixbuf_get_width(const GdkPixbuf* pixbuf);
int gdk_pixbuf_get_height(const GdkPixbuf* pixbuf);
int gdk_pixbuf_get_rowstride(const GdkPixbuf* pixbuf);
int gdk_pixbuf_get_n_channels(const GdkPixbuf* pixbuf);
gboolean gdk_pixbuf_get_has_alpha(const GdkPixbuf* pixbuf);
int gdk_pixbuf_get_bits_per_sample(const GdkPixbuf* pixbuf);
GdkColorspace gdk_pixbuf_get_colorspace(const GdkPixbuf* pixbuf);

// GNOME UI: the name of the icon of a file. The thumbnail factory and the
// file information are not used by the program and are passed as null.
char* gnome_icon_lookup(GtkIconTheme* theme, void* thumbnailFactory, const char* fileUri,
                        const char* customIcon, void* fileInfo, const char* mimeType, int flags,
                        int* result);

// GNOME VFS: the MIME type of a file name; binds whichever of
// gnome_vfs_get_mime_type_for_name and gnome_vfs_mime_type_from_name the
// library has, in that order.
const char* gnome_vfs_get_mime_type_for_name(const char* fileName);

// The two optional functions: bound once, never throwing; null when missing.
typedef void (*GErrorFree)(GError* error);
GErrorFree g_error_free_optional();
GtkMenuPositionFunc gtk_status_icon_position_menu_optional();

} // namespace gtk
