// Writing a whole report down a pipe, as the co-process's children do for
// their parent.
#pragma once

#include <string>

namespace os {

// Writes all of data to fd, going on after signals; false when the pipe
// took less (the reader is gone, or a write failed).
bool writeAll(int fd, const std::string& data);

} // namespace os
