// The file-transfer extension of the configuration tool, named
// "FileTransfer": it accepts every message and, as a sink on the loopback
// stream, never asks for compressed data.
#pragma once

#include "ft/Extension.h"

namespace ft {
namespace proxy {

class Extension : public ft::Extension {
public:
  const char* getName() const override { return "FileTransfer"; }
  bool acceptMessage(ConnectionId) override { return true; }
  bool useCompression(ConnectionId) override { return false; }
};

} // namespace proxy
} // namespace ft
