// Chooses the icon of a downloaded file or folder for a row of the downloads
// window: from the desktop's icon theme ("gnome") through the GTK+, GIO and
// GNOME libraries bound at run time, else one of three icons built into the
// program (a file, a folder, several files). Without those libraries it works
// with the built-in icons alone. Owns the theme and the built-in images; the
// row images it fills are the caller's.
#pragma once

#include "gtk/IconInfo.h"
#include "gtk/IconTheme.h"
#include "gtk/Types.h"
#include "wvw/WImage.h"

namespace gtk {
class Pixbuf;
}

namespace ft {

class FileIconChooser {
public:
  // The side of every icon, in pixels.
  static constexpr int iconSize = 48;
  // Lookup flags: use the built-in icons and the generic fall-back names.
  static constexpr gtk::GtkIconLookupFlags lookupFlags =
      gtk::GTK_ICON_LOOKUP_USE_BUILTIN | gtk::GTK_ICON_LOOKUP_GENERIC_FALLBACK;

  FileIconChooser();
  FileIconChooser(const FileIconChooser&) = delete;
  FileIconChooser& operator=(const FileIconChooser&) = delete;

  // The theme's icon for the path when there is one, else the built-in
  // folder icon for an existing folder and the file icon for anything else
  // (a missing path included).
  void setIconForPath(wvw::WImage* image, const char* path);
  // The built-in icon of several files.
  void setMultipleIcon(wvw::WImage* image);

  // Copies a built-in image into a row's image: layout, size, pixels (which
  // are multiplied by alpha already) and widget size.
  static void copyImage(wvw::WImage* target, wvw::WImage& source);
  // Gives the image the pixels of a loaded icon, multiplied by alpha, and
  // its size; only 8-bit pixels with 4 channels including alpha are taken.
  // False (the image untouched) for any other pixel data.
  static bool setImageFromPixbuf(wvw::WImage* image, const gtk::Pixbuf& pixbuf);

  gtk::IconTheme& theme() { return theme_; }
  wvw::WImage& fileImage() { return fileImage_; }
  wvw::WImage& folderImage() { return folderImage_; }
  wvw::WImage& filesImage() { return filesImage_; }

private:
  // The theme's icon into image; false when the theme gives none.
  bool themeIcon(wvw::WImage* image, const char* path, bool isFolder);
  // The icon of the path's content type into info.
  bool contentTypeIcon(gtk::IconInfo& info, const char* path, bool isFolder);
  // The first of the themed icon's names that the theme has into info.
  bool tryNames(gtk::IconInfo& info, const gtk::gchar* const* names);
  bool lookUp(gtk::IconInfo& info, const char* name);
  // The GNOME libraries' icon name for the path's MIME type into info.
  bool gnomeIcon(gtk::IconInfo& info, const char* path, bool isFolder);

  gtk::IconTheme theme_;
  wvw::WImage fileImage_;
  wvw::WImage folderImage_;
  wvw::WImage filesImage_;
};

} // namespace ft
