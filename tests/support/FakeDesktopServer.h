// A stand-in for the remote-framebuffer server that serves a widget desktop:
// it records what the desktop hands it (damage, buffers, cursors, clipboard
// text, bells, pointer notices) and, on each update flush, reads the changed
// pixels from the desktop into its own copy of the screen, as a server does
// for its viewers. The desktop and its buffer are not owned.
#pragma once

#include "zav/DesktopServer.h"

#include "rfb/Cursor.h"
#include "rfb/ManagedPixelBuffer.h"
#include "rfb/PixelBuffer.h"
#include "rfb/RectSet.h"

#include <string>
#include <vector>

namespace testing_support {

class FakeDesktopServer : public zav::DesktopServer {
public:
  // rfb::UpdateTracker
  void addChanged(const rfb::RectSet& region) override {
    changes.push_back(region);
    changed.setUnion(changed, region);
    pending_.setUnion(pending_, region);
  }
  void addCopied(const rfb::RectSet& dest, const rfb::Point&) override { addChanged(dest); }

  // zav::DesktopServer
  void setPixelBuffer(rfb::PixelBuffer* pb) override {
    pb_ = pb;
    buffersSet++;
    if (!pb)
      return;
    screen.setPF(pb->getPF());
    screen.setColourMap(pb->getColourMap(), false);
    screen.setSize(pb->width(), pb->height());
    screen.fillRect(screen.getRect(), 0);
    pending_ = rfb::RectSet(pb->getRect());
  }
  void serverCutText(const char* text, int length) override {
    cutTexts.push_back(std::string(text, size_t(length)));
  }
  void bell() override { bells++; }
  void tryUpdate() override {
    flushes++;
    if (!pb_)
      return;
    rfb::RectSet area;
    area.setIntersect(pending_, rfb::RectSet(pb_->getRect()));
    for (const rfb::RectSet::Box& b : area) {
      rfb::Rect r = rfb::RectSet::toRect(b);
      int stride = 0;
      uint8_t* dest = screen.getDataRW(r, &stride);
      pb_->getImage(dest, r, stride);
    }
    pending_.clear();
  }
  void setCursor(rfb::Cursor* c) override { cursor = c; }
  void pointerMoved(const rfb::Point& pos, int mask, bool) override {
    pointerNotices.push_back(std::to_string(pos.x) + "," + std::to_string(pos.y) + " " +
                             std::to_string(mask));
  }

  rfb::PixelBuffer* pixelBuffer() const { return pb_; }
  // Forgets the damage seen so far (the screen copy stays).
  void clearChanges() {
    changes.clear();
    changed.clear();
  }

  // What the desktop did.
  std::vector<rfb::RectSet> changes;
  rfb::RectSet changed;
  int buffersSet = 0;
  std::vector<std::string> cutTexts;
  int bells = 0;
  int flushes = 0;
  rfb::Cursor* cursor = nullptr;
  std::vector<std::string> pointerNotices;
  // What the viewers see: the desktop's pixels as read at each flush.
  rfb::ManagedPixelBuffer screen;

private:
  rfb::PixelBuffer* pb_ = nullptr;
  rfb::RectSet pending_;
};

} // namespace testing_support
