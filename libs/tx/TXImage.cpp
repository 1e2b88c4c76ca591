#include "tx/TXImage.h"

#include "tx/TXWindow.h"
#include "tx/XErrorTrap.h"
#include "tx/xshm.h"

#include "plat/Exception.h"
#include "plat/LogWriter.h"

#include <X11/Xutil.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

static plat::LogWriter vlog("TXImage");

struct TXImage::Segment {
  XShmSegmentInfo info;
};

TXImage::TXImage(Display* dpy, int width, int height, Visual* vis, int depth)
    : xim_(nullptr), dpy_(dpy), vis_(vis), depth_(depth), givenColourMap_(nullptr),
      layoutSet_(false) {
  width_ = width;
  height_ = height;
  if (!vis_)
    vis_ = DefaultVisual(dpy, DefaultScreen(dpy));
  if (!depth_)
    depth_ = DefaultDepth(dpy, DefaultScreen(dpy));
  createXImage(width, height);
  try {
    setupNativePF();
  } catch (...) {
    destroyXImage();
    throw;
  }
  setPF(nativePF_);
}

TXImage::~TXImage() {
  tig_.reset();
  destroyXImage();
}

// The XImage itself is at least 1 x 1; the buffer keeps its own size.
void TXImage::createXImage(int width, int height) {
  width = width < 1 ? 1 : width;
  height = height < 1 ? 1 : height;
  try {
    createSharedXImage(width, height);
    if (xim_)
      return;
  } catch (plat::Exception& e) {
    vlog.status("%s", e.str());
  }

  xim_ = XCreateImage(dpy_, vis_, unsigned(depth_), ZPixmap, 0, nullptr, unsigned(width),
                      unsigned(height), BitmapPad(dpy_), 0);
  size_t bytes = xim_ ? size_t(xim_->bytes_per_line) * size_t(xim_->height) : 0;
  char* data = xim_ ? static_cast<char*>(malloc(bytes)) : nullptr;
  if (!data) {
    vlog.error("malloc failed");
    exit(1);
  }
  xim_->data = data;
}

// Sets xim_ and shm_ on success; throws (having undone everything) on a
// failure of the segment or the server's attach.
void TXImage::createSharedXImage(int width, int height) {
  if (!xshm::XShmQueryExtension(dpy_))
    throw plat::Exception("MIT-SHM extension not available: using plain XImage");
  std::unique_ptr<Segment> seg(new Segment());
  seg->info.shmid = -1;
  seg->info.shmaddr = reinterpret_cast<char*>(-1);
  XImage* xim = xshm::XShmCreateImage(dpy_, vis_, unsigned(depth_), ZPixmap, nullptr, &seg->info,
                                      unsigned(width), unsigned(height));
  if (!xim)
    throw plat::Exception("XShmCreateImage failed");
  auto undo = [&] {
    if (seg->info.shmaddr != reinterpret_cast<char*>(-1))
      shmdt(seg->info.shmaddr);
    if (seg->info.shmid != -1)
      shmctl(seg->info.shmid, IPC_RMID, nullptr);
    xim->data = nullptr;
    XDestroyImage(xim);
  };
  try {
    size_t bytes = size_t(xim->bytes_per_line) * size_t(xim->height);
    // Only this user may read or change the window's pixels.
    seg->info.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (seg->info.shmid == -1) {
      int err = errno;
      throw plat::ExceptionFmt("shmget: %s (%d) (%dx%dx%d)", strerror(err), err, width, height,
                               depth_);
    }
    void* addr = shmat(seg->info.shmid, nullptr, 0);
    if (addr == reinterpret_cast<void*>(-1)) {
      int err = errno;
      throw plat::ExceptionFmt("shmat: %s (%d) (%dx%dx%d)", strerror(err), err, width, height,
                               depth_);
    }
    seg->info.shmaddr = xim->data = static_cast<char*>(addr);
    seg->info.readOnly = False;
    beginXErrorTrap(dpy_);
    xshm::XShmAttach(dpy_, &seg->info);
    endXErrorTrap(dpy_);
    if (int code = trappedXErrorCode()) {
      char text[1024];
      XGetErrorText(dpy_, code, text, sizeof(text));
      throw plat::ExceptionFmt("XShmAttach failed: %s", text);
    }
  } catch (plat::Exception&) {
    undo();
    throw;
  }
  // Both sides are attached: the segment goes away with the last of them,
  // even if the program dies.
  shmctl(seg->info.shmid, IPC_RMID, nullptr);
  vlog.debug("Using shared memory XImage");
  xim_ = xim;
  shm_ = std::move(seg);
}

void TXImage::destroyXImage() {
  if (!xim_)
    return;
  if (shm_) {
    vlog.debug("Freeing shared memory XImage");
    shmdt(shm_->info.shmaddr);
    shmctl(shm_->info.shmid, IPC_RMID, nullptr);
    xshm::XShmDetach(dpy_, &shm_->info);
    shm_.reset();
    xim_->data = nullptr;
  }
  XDestroyImage(xim_);
  xim_ = nullptr;
}

int TXImage::ximageStride() const {
  int bytesPerPixel = xim_->bits_per_pixel / 8;
  return bytesPerPixel && xim_->bytes_per_line ? xim_->bytes_per_line / bytesPerPixel : width_;
}

static int trailingZeros(unsigned long mask) {
  return mask ? __builtin_ctzl(mask) : 255;
}

void TXImage::setupNativePF() {
  int count = 0;
  XPixmapFormatValues* formats = XListPixmapFormats(dpy_, &count);
  int bpp = 0;
  for (int i = 0; i < count; i++)
    if (formats[i].depth == depth_)
      bpp = formats[i].bits_per_pixel;
  if (formats)
    XFree(formats);
  if (bpp != 8 && bpp != 16 && bpp != 32)
    throw plat::Exception("Error: couldn't find suitable pixmap format");

  bool trueColour = vis_->c_class == TrueColor;
  vlog.debug("Using default colormap and visual, %sdepth %d.",
             trueColour                     ? "TrueColor, "
             : vis_->c_class == PseudoColor ? "PseudoColor, "
                                            : "",
             depth_);
  bool bigEndian = ImageByteOrder(dpy_) == MSBFirst;
  if (trueColour) {
    int rs = trailingZeros(vis_->red_mask), gs = trailingZeros(vis_->green_mask),
        bs = trailingZeros(vis_->blue_mask);
    auto max = [](unsigned long mask, int shift) { return mask ? int(mask >> shift) : 0; };
    nativePF_ = rfb::PixelLayout(bpp, depth_, bigEndian, true, max(vis_->red_mask, rs),
                                 max(vis_->green_mask, gs), max(vis_->blue_mask, bs), rs, gs, bs);
    return;
  }
  nativePF_ = rfb::PixelLayout(bpp, depth_, bigEndian, false, 0, 0, 0, 0, 0, 0);
  // Cell (r, g, b) of the cube is number (r x 6 + g) x 6 + b.
  std::vector<XColor> colours(216);
  for (int r = 0; r < 6; r++)
    for (int g = 0; g < 6; g++)
      for (int b = 0; b < 6; b++) {
        XColor& c = colours[size_t((r * 6 + g) * 6 + b)];
        c.red = static_cast<unsigned short>(r * 65535 / 5);
        c.green = static_cast<unsigned short>(g * 65535 / 5);
        c.blue = static_cast<unsigned short>(b * 65535 / 5);
        c.flags = DoRed | DoGreen | DoBlue;
      }
  TXWindow::getColours(dpy_, colours.data(), 216);
  std::unique_ptr<uint32_t[]> table(new uint32_t[216]);
  for (int i = 0; i < 216; i++)
    table[i] = uint32_t(colours[size_t(i)].pixel);
  nativeCube_.reset(new rfb::ColourCube(6, 6, 6, std::move(table)));
}

void TXImage::setColourMap(rfb::ColourMap* cm) {
  ownCube_.reset();
  givenColourMap_ = cm;
  colourMap_ = cm;
  if (!format_.trueColour && !cm) {
    ownCube_.reset(new rfb::ColourCube(6, 6, 6));
    colourMap_ = ownCube_.get();
  }
  if (tig_)
    tig_->setColourMapEntries(0, 0, nullptr);
}

void TXImage::attachPixels() {
  ownPixels_.reset();
  if (format_.equal(nativePF_) && format_.trueColour) {
    setBuffer(reinterpret_cast<uint8_t*>(xim_->data), ximageStride());
    return;
  }
  size_t bytes = size_t(width_) * size_t(height_) * size_t(format_.bpp / 8);
  ownPixels_.reset(new uint8_t[bytes ? bytes : 1]);
  setBuffer(ownPixels_.get(), width_);
}

void TXImage::setPF(const rfb::PixelLayout& layout) {
  if (layoutSet_ && layout.equal(format_) && layout.trueColour == format_.trueColour)
    return;
  layoutSet_ = true;
  rfb::PixelLayout pf = layout;
  if (!pf.trueColour) {
    pf.bpp = 8;
    pf.depth = 8;
  }
  tig_.reset();
  format_ = pf;
  if (!pf.trueColour)
    setColourMap(givenColourMap_);
  attachPixels();
  if (ownPixels_) {
    tig_.reset(new rfb::TransImageGetter());
    tig_->setPF(nativePF_);
    tig_->setColourCube(nativeCube_.get());
    tig_->setSource(this);
    if (!nativePF_.trueColour && !nativeCube_)
      tig_->setColourMapEntries(0, 0, nullptr);
  }
  fillRect(getRect(), 0);
}

void TXImage::resize(int width, int height) {
  if (width == width_ && height == height_)
    return;
  int oldWidth = width_, oldHeight = height_;
  int oldStride = stride_;
  size_t bpp = size_t(format_.bpp / 8);
  std::vector<uint8_t> saved;
  std::unique_ptr<uint8_t[]> savedOwn;
  const uint8_t* old = nullptr;
  if (ownPixels_) {
    savedOwn = std::move(ownPixels_);
    old = savedOwn.get();
  } else {
    saved.assign(data_, data_ + size_t(oldStride) * size_t(oldHeight) * bpp);
    old = saved.data();
  }

  destroyXImage();
  width_ = width;
  height_ = height;
  createXImage(width, height);
  attachPixels();
  if (tig_)
    tig_->setSource(this);
  fillRect(getRect(), 0);
  rfb::Rect common(0, 0, std::min(oldWidth, width), std::min(oldHeight, height));
  if (!common.isEmpty())
    imageRect(common, old, oldStride);
}

void TXImage::put(Window win, GC gc, const rfb::Rect& rect, const rfb::Point& offset) {
  rfb::Rect r = rect.intersect(getRect());
  if (r.isEmpty())
    return;
  if (tig_) {
    int bytesPerPixel = xim_->bits_per_pixel / 8;
    uint8_t* dest = reinterpret_cast<uint8_t*>(xim_->data) +
                    ptrdiff_t(r.tl.y) * xim_->bytes_per_line + ptrdiff_t(r.tl.x) * bytesPerPixel;
    tig_->getImage(dest, r, ximageStride());
  }
  if (shm_)
    xshm::XShmPutImage(dpy_, win, gc, xim_, r.tl.x, r.tl.y, r.tl.x + offset.x, r.tl.y + offset.y,
                       unsigned(r.width()), unsigned(r.height()), False);
  else
    XPutImage(dpy_, win, gc, xim_, r.tl.x, r.tl.y, r.tl.x + offset.x, r.tl.y + offset.y,
              unsigned(r.width()), unsigned(r.height()));
}
