// What a socket tells about one of its endpoints. Texts are owned by the info
// object. A missing value throws "<what>() failed" when required, else gives a
// placeholder text.
#pragma once

namespace net {

class EndpointInfo {
public:
  virtual ~EndpointInfo();
  virtual const char* address(bool required) = 0;
  virtual int port() = 0;
  virtual const char* name() = 0;
  virtual const char* endpoint(bool required) = 0;
  virtual const char* endpointName(bool required) = 0;
};

} // namespace net
