// The pixel buffer that a widget host window draws into and copies to its X
// window: a full-frame pixel buffer over an XImage, in MIT shared memory when
// the X server offers it (plain XPutImage otherwise). When the buffer's
// layout is the display's native true-colour layout, drawing goes straight
// into the XImage; otherwise the buffer keeps its own pixels and each
// rectangle is translated into the XImage when it is put. On colour-mapped
// displays a 6 x 6 x 6 colour cube is allocated in the colour map. The
// image owns the XImage, its shared-memory segment, its own pixels, the
// translator and both cubes; the display and a given colour map are not
// owned.
#pragma once

#include "rfb/ColourCube.h"
#include "rfb/FullFramePixelBuffer.h"
#include "rfb/TransImageGetter.h"

#include <X11/Xlib.h>

#include <cstddef>
#include <memory>

class TXImage : public rfb::FullFramePixelBuffer {
public:
  // Visual and depth default to the display's. Throws plat::Exception
  // "Error: couldn't find suitable pixmap format" for a depth whose pixels
  // are not 8, 16 or 32 bits.
  TXImage(Display* dpy, int width, int height, Visual* vis = nullptr, int depth = 0);
  ~TXImage() override;
  TXImage(const TXImage&) = delete;
  TXImage& operator=(const TXImage&) = delete;

  // Copies the rectangle to the window at its place plus offset.
  void put(Window win, GC gc, const rfb::Rect& r, const rfb::Point& offset = rfb::Point());
  // Keeps the pixels of the area common to both sizes; the rest becomes 0.
  void resize(int width, int height);
  // The buffer's layout; the whole buffer is cleared to pixel 0.
  virtual void setPF(const rfb::PixelLayout& pf);
  // The colour map of a colour-mapped buffer (not owned); null: a 6 x 6 x 6
  // identity cube of the image's own.
  void setColourMap(rfb::ColourMap* cm);

  bool isShared() const { return shm_ != nullptr; }
  const rfb::PixelLayout& getNativePF() const { return nativePF_; }
  // The cube of allocated cells (colour-mapped displays); null otherwise.
  rfb::ColourCube* getNativeCube() const { return nativeCube_.get(); }

private:
  struct Segment;

  void createXImage(int width, int height);
  void createSharedXImage(int width, int height);
  void destroyXImage();
  void setupNativePF();
  // Points the buffer at the XImage or at own pixels, as the layout needs.
  void attachPixels();
  int ximageStride() const;

  XImage* xim_;
  Display* dpy_;
  Visual* vis_;
  int depth_;
  std::unique_ptr<Segment> shm_;
  std::unique_ptr<rfb::TransImageGetter> tig_;
  rfb::PixelLayout nativePF_;
  std::unique_ptr<rfb::ColourCube> nativeCube_;
  std::unique_ptr<rfb::ColourCube> ownCube_;
  rfb::ColourMap* givenColourMap_;
  // The buffer's own pixels when it does not draw into the XImage.
  std::unique_ptr<uint8_t[]> ownPixels_;
  bool layoutSet_;
};
