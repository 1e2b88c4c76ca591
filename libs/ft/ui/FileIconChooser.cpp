#include "ft/ui/FileIconChooser.h"

#include "gtk/Functions.h"
#include "gtk/InstanceType.h"
#include "gtk/LoadFailed.h"
#include "gtk/Object.h"
#include "gtk/Pixbuf.h"

#include "rfb/PixelLayout.h"

#include "plat/FileOps.h"
#include "plat/LogWriter.h"

#include <string>
#include <vector>

static plat::LogWriter vlog("FileIcon");

namespace ft {

FileIconChooser::FileIconChooser()
    : fileImage_("FTFileUNIX.ico", iconSize), folderImage_("FTFolderUNIX.ico", iconSize),
      filesImage_("FTFiles.ico", iconSize) {
  try {
    gtk::g_type_init();
    theme_.setCustomTheme("gnome");
  } catch (const gtk::LoadFailed& e) {
    vlog.debug("%s", e.str());
  }
}

void FileIconChooser::setIconForPath(wvw::WImage* image, const char* path) {
  bool isFolder = plat::isDirectory(path);
  if (themeIcon(image, path, isFolder))
    return;
  copyImage(image, isFolder ? folderImage_ : fileImage_);
}

void FileIconChooser::setMultipleIcon(wvw::WImage* image) {
  copyImage(image, filesImage_);
}

void FileIconChooser::copyImage(wvw::WImage* target, wvw::WImage& source) {
  rfb::ManagedPixelBuffer& from = source.image();
  target->resizeImage(from.getPF(), from.width(), from.height());
  int stride = 0;
  const uint8_t* pixels = from.getData(from.getRect(), &stride);
  // The registry's images hold their colours multiplied by alpha already:
  // multiplying again would darken every translucent edge.
  target->setPixels(pixels, stride, true);
  target->setSize(source.width(), source.height());
}

bool FileIconChooser::setImageFromPixbuf(wvw::WImage* image, const gtk::Pixbuf& pixbuf) {
  if (pixbuf.getNChannels() != 4 || !pixbuf.hasAlpha() || pixbuf.getBitsPerSample() != 8)
    return false;
  int width = pixbuf.getWidth();
  int height = pixbuf.getHeight();
  rfb::PixelLayout pf = rfb::PixelLayout::rgba32BigEndian;
  pf.makeLittleEndian();
  image->resizeImage(pf, width, height);
  image->setPixels(pixbuf.getPixels(), pixbuf.getRowstride() / 4, false);
  image->setSize(width, height);
  return true;
}

bool FileIconChooser::themeIcon(wvw::WImage* image, const char* path, bool isFolder) {
  gtk::IconInfo info;
  bool found = false;
  try {
    found = contentTypeIcon(info, path, isFolder);
  } catch (const gtk::LoadFailed& e) {
    vlog.debug("%s", e.str());
  }
  try {
    if (!found)
      found = gnomeIcon(info, path, isFolder);
    if (!found)
      return false;
    gtk::Pixbuf pixbuf = gtk::Pixbuf::loadIcon(info);
    return !pixbuf.empty() && setImageFromPixbuf(image, pixbuf);
  } catch (const gtk::LoadFailed& e) {
    vlog.debug("%s", e.str());
    return false;
  }
}

bool FileIconChooser::contentTypeIcon(gtk::IconInfo& info, const char* path, bool isFolder) {
  gtk::Object icon;
  if (isFolder) {
    icon.reset(gtk::g_content_type_get_icon("folder"));
  } else {
    gtk::gchar* type = gtk::g_content_type_guess(path, nullptr, 0, nullptr);
    try {
      icon.reset(gtk::g_content_type_get_icon(type));
    } catch (...) {
      gtk::g_free(type);
      throw;
    }
    gtk::g_free(type);
  }
  if (!gtk::isInstanceOf(icon.get(), gtk::g_themed_icon_get_type()))
    return false;
  return tryNames(info, icon.themedIconNames());
}

bool FileIconChooser::tryNames(gtk::IconInfo& info, const gtk::gchar* const* names) {
  if (!names)
    return false;
  vlog.debug("Candidate icon names are:");
  std::vector<const char*> list;
  for (const gtk::gchar* const* n = names; *n; n++) {
    vlog.debug("  '%s'", *n);
    list.push_back(*n);
  }
  list.push_back(nullptr);
  info.chooseIcon(theme_, list.data(), iconSize, 0);
  if (!info.empty()) {
    vlog.debug("chooseIcon succeeded");
    return true;
  }
  vlog.debug("chooseIcon failed");
  for (const gtk::gchar* const* n = names; *n; n++) {
    if (lookUp(info, *n))
      return true;
    std::string name(*n);
    if (name.compare(0, 6, "gnome-") != 0 && lookUp(info, ("gnome-" + name).c_str()))
      return true;
  }
  return false;
}

bool FileIconChooser::lookUp(gtk::IconInfo& info, const char* name) {
  vlog.debug("lookupIcon('%s')", name);
  info.lookupIcon(theme_, name, iconSize, lookupFlags);
  vlog.debug("%s", info.empty() ? "failed" : "succeeded");
  return !info.empty();
}

bool FileIconChooser::gnomeIcon(gtk::IconInfo& info, const char* path, bool isFolder) {
  const char* mimeType = isFolder ? "folder" : gtk::gnome_vfs_get_mime_type_for_name(path);
  char* name = gtk::gnome_icon_lookup(theme_.get(), nullptr, nullptr, nullptr, nullptr, mimeType, 0,
                                      nullptr);
  if (!name)
    return false;
  try {
    info.lookupIcon(theme_, name, iconSize, lookupFlags);
  } catch (...) {
    gtk::g_free(name);
    throw;
  }
  gtk::g_free(name);
  return !info.empty();
}

} // namespace ft
