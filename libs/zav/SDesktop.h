// A desktop that a remote-framebuffer server serves: it receives the viewers'
// input and is told when a server starts and stops serving it. The server is
// not owned.
#pragma once

#include "zav/DesktopServer.h"

#include "rfb/InputHandler.h"
#include "rfb/Point.h"

namespace zav {

class SDesktop : public rfb::InputHandler {
public:
  ~SDesktop() override;
  // The server starts serving the desktop; it stays attached until
  // detachServer.
  virtual void attachServer(DesktopServer* server);
  virtual void detachServer();
  // Width and height.
  virtual rfb::Point getFramebufferSize() = 0;
};

} // namespace zav
