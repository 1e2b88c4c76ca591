// The token a single sign-on step gives back to send to the viewer: a length
// and the bytes, owned by the token.
#pragma once

#include <cstdint>
#include <memory>

namespace sso {

struct OutputToken {
  std::uint32_t length = 0;
  std::unique_ptr<std::uint8_t[]> data;
};

} // namespace sso
