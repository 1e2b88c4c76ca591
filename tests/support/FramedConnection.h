// A connection double for file-transfer tests: an rfb::MsgHandler whose
// writer frames every message (version-4 framing) into memory, with the free
// space the writer reports set by the test; and a pump that reads framed
// messages from fed bytes the way the file-transfer socket server does,
// resuming when a message is incomplete.
#pragma once

#include "FeedInStream.h"
#include "plat/Exception.h"
#include "rdr/Exception.h"
#include "rdr/InStreamV4.h"
#include "rdr/MemOutStream.h"
#include "rdr/OutStreamV4.h"
#include "rfb/Extension.h"
#include "rfb/MsgHandler.h"
#include "rfb/MsgWriter.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <vector>

namespace testing_support {

// Memory output whose free space is what the test says.
class SpaceOutStream : public rdr::MemOutStream {
public:
  SpaceOutStream() : rdr::MemOutStream(65536) {}
  int spaceAvailable() override { return space; }
  std::vector<std::uint8_t> bytes() { return std::vector<std::uint8_t>(data(), data() + length()); }
  int space = INT_MAX;
};

// Each named message fills one framed message, closed and flushed by endMsg.
class FramedMsgWriter : public rfb::MsgWriter {
public:
  FramedMsgWriter(rdr::FramedOutStream* fos_, int* writesLeft_, bool* peerGone_ = nullptr)
      : rfb::MsgWriter(nullptr, fos_), fos(fos_), writesLeft(writesLeft_), peerGone(peerGone_) {}
  rdr::OutStream* startNamedMsg(const char*) override {
    if (peerGone && *peerGone)
      throw plat::SystemException("write", EPIPE);
    if (*writesLeft > 0)
      --*writesLeft;
    fos->startMsg();
    return fos;
  }
  void startMsg(int) override { fos->startMsg(); }
  void endMsg() override { fos->endMsg(true); }

private:
  rdr::FramedOutStream* fos;
  int* writesLeft;
  bool* peerGone;
};

class FramedConnection : public rfb::MsgHandler {
public:
  FramedConnection() : framed(&out), writer(&framed, &writesLeft, &peerGone) {}
  rfb::MsgWriter* getWriter() override { return hasWriter && writesLeft != 0 ? &writer : nullptr; }

  // How many more messages the connection takes before it has no writer;
  // -1 for no end.
  int writesLeft = -1;
  SpaceOutStream out;
  rdr::OutStreamV4 framed;
  FramedMsgWriter writer;
  bool hasWriter = true;
  // Every message fails as a write to a closed peer does (SIGPIPE ignored).
  bool peerGone = false;
};

// Reads whole framed messages from fed bytes through an rfb::Extension.
class FramedPump {
public:
  FramedPump() : framed(&in) {}

  // Handles every message whose bytes are all there; returns how many.
  int run(rfb::Extension* extension, rfb::MsgHandler* connection) {
    int handled = 0;
    for (;;) {
      try {
        if (state == 0) {
          if (in.avail() == 0 && !in.overrun(false, 1))
            return handled;
          framed.startMsg();
          state = 1;
        }
        if (state == 1) {
          if (!extension->readMsg(&framed, connection))
            return handled;
          framed.checkpoint();
          state = 2;
        }
        framed.skipToEndOfMsg();
        framed.endMsg();
        state = 0;
        handled++;
      } catch (rdr::BlockException&) {
        return handled;
      }
    }
  }

  FeedInStream in;
  rdr::InStreamV4 framed;
  int state = 0;
};

// One whole framed message (a single frame) holding body.
inline std::vector<std::uint8_t> frame(const std::vector<std::uint8_t>& body) {
  std::vector<std::uint8_t> out;
  out.push_back(static_cast<std::uint8_t>(0x80 | (body.size() >> 8)));
  out.push_back(static_cast<std::uint8_t>(body.size()));
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

} // namespace testing_support
