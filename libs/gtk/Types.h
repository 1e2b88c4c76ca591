// The types of the desktop toolkit libraries that the run-time wrappers pass
// through, declared here so that nothing is compiled against those libraries.
// Objects are opaque; only the few structures whose fields the program reads
// (the error record and the type header of an instance) are laid out, in the
// libraries' binary layout.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gtk {

typedef int gboolean;
typedef int gint;
typedef unsigned int guint;
typedef unsigned long gulong;
typedef char gchar;
typedef unsigned char guchar;
typedef void* gpointer;
typedef std::size_t GType;
typedef std::size_t gsize;
typedef std::uint32_t GQuark;

struct GError {
  GQuark domain;
  gint code;
  gchar* message;
};

struct GTypeClass {
  GType g_type;
};

struct GTypeInstance {
  GTypeClass* g_class;
};

struct GObject;
struct GdkPixbuf;
struct GtkWidget;
struct GtkMenu;
struct GtkMenuShell;
struct GtkCheckMenuItem;
struct GtkStatusIcon;
struct GtkIconTheme;
struct GtkIconInfo;
struct GIOChannel;
struct GIcon;
struct GThemedIcon;

typedef void (*GCallback)();
typedef void (*GClosureNotify)(gpointer data, void* closure);
typedef gint GConnectFlags;
typedef gint GIOCondition;
typedef gboolean (*GIOFunc)(GIOChannel* source, GIOCondition condition, gpointer data);
typedef gboolean (*GSourceFunc)(gpointer data);
typedef void (*GtkMenuPositionFunc)(GtkMenu* menu, gint* x, gint* y, gboolean* pushIn,
                                    gpointer data);
typedef void (*GdkPixbufDestroyNotify)(guchar* pixels, gpointer data);
typedef gint GdkColorspace;
typedef gint GtkIconLookupFlags;

// Values of the library enumerations the program passes.
constexpr GdkColorspace GDK_COLORSPACE_RGB = 0;
constexpr GIOCondition G_IO_IN = 1;
constexpr GIOCondition G_IO_PRI = 2;
constexpr GIOCondition G_IO_ERR = 8;
constexpr GIOCondition G_IO_HUP = 16;
constexpr GIOCondition G_IO_NVAL = 32;
constexpr GtkIconLookupFlags GTK_ICON_LOOKUP_NO_SVG = 1;
constexpr GtkIconLookupFlags GTK_ICON_LOOKUP_FORCE_SVG = 2;
constexpr GtkIconLookupFlags GTK_ICON_LOOKUP_USE_BUILTIN = 4;
constexpr GtkIconLookupFlags GTK_ICON_LOOKUP_GENERIC_FALLBACK = 8;
constexpr GtkIconLookupFlags GTK_ICON_LOOKUP_FORCE_SIZE = 16;

} // namespace gtk
