#include "gtk/Functions.h"

#include "gtk/LoadFailed.h"
#include "plat/DynamicFn.h"

namespace gtk {

namespace {

const char* const gtkLib = "gtk-x11-2.0[0]";
const char* const glibLib = "glib-2.0[0]";
const char* const gobjectLib = "gobject-2.0[0]";
const char* const gioLib = "gio-2.0[0]";
const char* const pixbufLib = "gdk_pixbuf-2.0[0]";
const char* const gnomeUiLib = "gnomeui-2[0]";
const char* const gnomeVfsLib = "gnomevfs-2[0]";

// The binding of one wrapper. Construction throws LoadFailed when nothing was
// found; the library the binding tried is then closed and, as the wrapper's
// static was never initialised, the next call binds again. A binding that
// succeeded lives in its wrapper's static until the process exits, and closes
// its library then.
class Binding {
public:
  Binding(const char* library, const char* symbols) : fn_(library, symbols) {
    if (!fn_.getFunction())
      throw LoadFailed(symbols);
  }
  template <typename F> F get() const { return reinterpret_cast<F>(fn_.getFunction()); }

private:
  plat::DynamicFn fn_;
};

} // namespace

// Each wrapper holds its own function-local binding.
#define ZAV_GTK_WRAP(lib, symbols, Ret, name, params, args)                                        \
  Ret name params {                                                                                \
    static const Binding binding(lib, symbols);                                                    \
    return binding.get<Ret(*) params>() args;                                                      \
  }

ZAV_GTK_WRAP(gtkLib, "gtk_init", void, gtk_init, (int* argc, char*** argv), (argc, argv))
ZAV_GTK_WRAP(gtkLib, "gtk_init_check", gboolean, gtk_init_check, (int* argc, char*** argv),
             (argc, argv))
ZAV_GTK_WRAP(gtkLib, "gtk_main", void, gtk_main, (), ())
ZAV_GTK_WRAP(gtkLib, "gtk_main_quit", void, gtk_main_quit, (), ())

ZAV_GTK_WRAP(gtkLib, "gtk_status_icon_new", GtkStatusIcon*, gtk_status_icon_new, (), ())
ZAV_GTK_WRAP(gtkLib, "gtk_status_icon_set_visible", void, gtk_status_icon_set_visible,
             (GtkStatusIcon * icon, gboolean visible), (icon, visible))
ZAV_GTK_WRAP(gtkLib, "gtk_status_icon_set_tooltip", void, gtk_status_icon_set_tooltip,
             (GtkStatusIcon * icon, const gchar* text), (icon, text))
ZAV_GTK_WRAP(gtkLib, "gtk_status_icon_set_from_pixbuf", void, gtk_status_icon_set_from_pixbuf,
             (GtkStatusIcon * icon, GdkPixbuf* pixbuf), (icon, pixbuf))
ZAV_GTK_WRAP(gtkLib, "gtk_status_icon_is_embedded", gboolean, gtk_status_icon_is_embedded,
             (GtkStatusIcon * icon), (icon))
ZAV_GTK_WRAP(gtkLib, "gtk_status_icon_get_visible", gboolean, gtk_status_icon_get_visible,
             (GtkStatusIcon * icon), (icon))

ZAV_GTK_WRAP(gtkLib, "gtk_menu_new", GtkWidget*, gtk_menu_new, (), ())
ZAV_GTK_WRAP(gtkLib, "gtk_menu_item_new_with_label", GtkWidget*, gtk_menu_item_new_with_label,
             (const gchar* label), (label))
ZAV_GTK_WRAP(gtkLib, "gtk_check_menu_item_new_with_label", GtkWidget*,
             gtk_check_menu_item_new_with_label, (const gchar* label), (label))
ZAV_GTK_WRAP(gtkLib, "gtk_separator_menu_item_new", GtkWidget*, gtk_separator_menu_item_new, (), ())
ZAV_GTK_WRAP(gtkLib, "gtk_menu_shell_append", void, gtk_menu_shell_append,
             (GtkMenuShell * shell, GtkWidget* child), (shell, child))
ZAV_GTK_WRAP(gtkLib, "gtk_menu_popup", void, gtk_menu_popup,
             (GtkMenu * menu, GtkWidget* parentShell, GtkWidget* parentItem,
              GtkMenuPositionFunc position, gpointer data, guint button,
              std::uint32_t activateTime),
             (menu, parentShell, parentItem, position, data, button, activateTime))
ZAV_GTK_WRAP(gtkLib, "gtk_check_menu_item_get_active", gboolean, gtk_check_menu_item_get_active,
             (GtkCheckMenuItem * item), (item))
ZAV_GTK_WRAP(gtkLib, "gtk_check_menu_item_set_active", void, gtk_check_menu_item_set_active,
             (GtkCheckMenuItem * item, gboolean active), (item, active))
ZAV_GTK_WRAP(gtkLib, "gtk_widget_show", void, gtk_widget_show, (GtkWidget * widget), (widget))
ZAV_GTK_WRAP(gtkLib, "gtk_widget_set_sensitive", void, gtk_widget_set_sensitive,
             (GtkWidget * widget, gboolean sensitive), (widget, sensitive))

ZAV_GTK_WRAP(gtkLib, "gtk_icon_theme_new", GtkIconTheme*, gtk_icon_theme_new, (), ())
ZAV_GTK_WRAP(gtkLib, "gtk_icon_theme_set_custom_theme", void, gtk_icon_theme_set_custom_theme,
             (GtkIconTheme * theme, const gchar* name), (theme, name))
ZAV_GTK_WRAP(gtkLib, "gtk_icon_theme_lookup_icon", GtkIconInfo*, gtk_icon_theme_lookup_icon,
             (GtkIconTheme * theme, const gchar* name, gint size, GtkIconLookupFlags flags),
             (theme, name, size, flags))
ZAV_GTK_WRAP(gtkLib, "gtk_icon_theme_choose_icon", GtkIconInfo*, gtk_icon_theme_choose_icon,
             (GtkIconTheme * theme, const gchar* names[], gint size, GtkIconLookupFlags flags),
             (theme, names, size, flags))
ZAV_GTK_WRAP(gtkLib, "gtk_icon_info_load_icon", GdkPixbuf*, gtk_icon_info_load_icon,
             (GtkIconInfo * info, GError** error), (info, error))
ZAV_GTK_WRAP(gtkLib, "gtk_icon_info_free", void, gtk_icon_info_free, (GtkIconInfo * info), (info))

ZAV_GTK_WRAP(gtkLib, "g_signal_connect_data", gulong, g_signal_connect_data,
             (gpointer instance, const gchar* signal, GCallback handler, gpointer data,
              GClosureNotify destroyData, GConnectFlags flags),
             (instance, signal, handler, data, destroyData, flags))
ZAV_GTK_WRAP(gtkLib, "g_object_unref", void, g_object_unref, (gpointer object), (object))
ZAV_GTK_WRAP(gtkLib, "g_object_ref", gpointer, g_object_ref, (gpointer object), (object))
ZAV_GTK_WRAP(gtkLib, "g_object_ref_sink,g_object_ref", gpointer, g_object_ref_sink,
             (gpointer object), (object))

gboolean g_object_is_floating(gpointer object) {
  // Libraries from before floating references lack the function: nothing
  // there is floating.
  static const plat::DynamicFn fn(gtkLib, "g_object_is_floating");
  if (!fn.getFunction())
    return 0;
  return reinterpret_cast<gboolean (*)(gpointer)>(fn.getFunction())(object);
}

ZAV_GTK_WRAP(glibLib, "g_io_channel_unix_new", GIOChannel*, g_io_channel_unix_new, (int fd), (fd))
ZAV_GTK_WRAP(glibLib, "g_io_add_watch", guint, g_io_add_watch,
             (GIOChannel * channel, GIOCondition condition, GIOFunc func, gpointer data),
             (channel, condition, func, data))
ZAV_GTK_WRAP(glibLib, "g_timeout_add", guint, g_timeout_add,
             (guint interval, GSourceFunc func, gpointer data), (interval, func, data))
ZAV_GTK_WRAP(glibLib, "g_free", void, g_free, (gpointer memory), (memory))

ZAV_GTK_WRAP(gobjectLib, "g_type_init", void, g_type_init, (), ())
ZAV_GTK_WRAP(gobjectLib, "g_type_check_instance_is_a", gboolean, g_type_check_instance_is_a,
             (GTypeInstance * instance, GType type), (instance, type))

ZAV_GTK_WRAP(gioLib, "g_content_type_guess", gchar*, g_content_type_guess,
             (const gchar* fileName, const guchar* data, gsize dataSize, gboolean* uncertain),
             (fileName, data, dataSize, uncertain))
ZAV_GTK_WRAP(gioLib, "g_content_type_get_icon", GIcon*, g_content_type_get_icon,
             (const gchar* type), (type))
ZAV_GTK_WRAP(gioLib, "g_themed_icon_get_type", GType, g_themed_icon_get_type, (), ())
ZAV_GTK_WRAP(gioLib, "g_themed_icon_get_names", const gchar* const*, g_themed_icon_get_names,
             (GThemedIcon * icon), (icon))

ZAV_GTK_WRAP(pixbufLib, "gdk_pixbuf_new_from_data", GdkPixbuf*, gdk_pixbuf_new_from_data,
             (const guchar* data, GdkColorspace colorspace, gboolean hasAlpha, int bitsPerSample,
              int width, int height, int rowstride, GdkPixbufDestroyNotify destroy,
              gpointer destroyData),
             (data, colorspace, hasAlpha, bitsPerSample, width, height, rowstride, destroy,
              destroyData))
ZAV_GTK_WRAP(pixbufLib, "gdk_pixbuf_new_from_file", GdkPixbuf*, gdk_pixbuf_new_from_file,
             (const char* fileName, GError** error), (fileName, error))
ZAV_GTK_WRAP(pixbufLib, "gdk_pixbuf_get_pixels", guchar*, gdk_pixbuf_get_pixels,
             (const GdkPixbuf* pixbuf), (pixbuf))
ZAV_GTK_WRAP(pixbufLib, "gdk_pixbuf_get_width", int, gdk_pixbuf_get_width,
             (const GdkPixbuf* pixbuf), (pixbuf))
ZAV_GTK_WRAP(pixbufLib, "gdk_pixbuf_get_height", int, gdk_pixbuf_get_height,
             (const GdkPixbuf* pixbuf), (pixbuf))
ZAV_GTK_WRAP(pixbufLib, "gdk_pixbuf_get_rowstride", int, gdk_pixbuf_get_rowstride,
             (const GdkPixbuf* pixbuf), (pixbuf))
ZAV_GTK_WRAP(pixbufLib, "gdk_pixbuf_get_n_channels", int, gdk_pixbuf_get_n_channels,
             (const GdkPixbuf* pixbuf), (pixbuf))
ZAV_GTK_WRAP(pixbufLib, "gdk_pixbuf_get_has_alpha", gboolean, gdk_pixbuf_get_has_alpha,
             (const GdkPixbuf* pixbuf), (pixbuf))
ZAV_GTK_WRAP(pixbufLib, "gdk_pixbuf_get_bits_per_sample", int, gdk_pixbuf_get_bits_per_sample,
             (const GdkPixbuf* pixbuf), (pixbuf))
ZAV_GTK_WRAP(pixbufLib, "gdk_pixbuf_get_colorspace", GdkColorspace, gdk_pixbuf_get_colorspace,
             (const GdkPixbuf* pixbuf), (pixbuf))

ZAV_GTK_WRAP(gnomeUiLib, "gnome_icon_lookup", char*, gnome_icon_lookup,
             (GtkIconTheme * theme, void* thumbnailFactory, const char* fileUri,
              const char* customIcon, void* fileInfo, const char* mimeType, int flags, int* result),
             (theme, thumbnailFactory, fileUri, customIcon, fileInfo, mimeType, flags, result))

ZAV_GTK_WRAP(gnomeVfsLib, "gnome_vfs_get_mime_type_for_name,gnome_vfs_mime_type_from_name",
             const char*, gnome_vfs_get_mime_type_for_name, (const char* fileName), (fileName))

#undef ZAV_GTK_WRAP

// The optional functions take the same accepted major versions as the rest:
// an unversioned library name exists only where development files are
// installed.
GErrorFree g_error_free_optional() {
  static const plat::DynamicFn fn(glibLib, "g_error_free");
  return reinterpret_cast<GErrorFree>(fn.getFunction());
}

GtkMenuPositionFunc gtk_status_icon_position_menu_optional() {
  static const plat::DynamicFn fn(gtkLib, "gtk_status_icon_position_menu");
  return reinterpret_cast<GtkMenuPositionFunc>(fn.getFunction());
}

} // namespace gtk
