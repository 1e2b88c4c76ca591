#include "ReleasedArrays.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

namespace testing_support {

static ReleasedArrayWatch* activeWatch = nullptr;

ReleasedArrayWatch::ReleasedArrayWatch(std::vector<std::string> secrets)
    : secrets_(std::move(secrets)) {
  activeWatch = this;
}

ReleasedArrayWatch::~ReleasedArrayWatch() {
  activeWatch = nullptr;
}

void ReleasedArrayWatch::look(const void* block, size_t size) {
  for (const std::string& s : secrets_)
    if (memmem(block, size, s.data(), s.size())) {
      leaks_++;
      return;
    }
}

} // namespace testing_support

// Each array carries its size in a header in front of it, and starts zeroed,
// so that what is found in it at its release was put there during its life.
static const size_t headerSize = alignof(std::max_align_t);

static void* allocateArray(size_t size) noexcept {
  char* block = static_cast<char*>(calloc(1, headerSize + size));
  if (!block)
    return nullptr;
  memcpy(block, &size, sizeof(size));
  return block + headerSize;
}

static void releaseArray(void* p) noexcept {
  if (!p)
    return;
  char* block = static_cast<char*>(p) - headerSize;
  if (testing_support::ReleasedArrayWatch* watch = testing_support::activeWatch) {
    size_t size;
    memcpy(&size, block, sizeof(size));
    // The watch is off while it looks, in case looking releases an array.
    testing_support::activeWatch = nullptr;
    watch->look(p, size);
    testing_support::activeWatch = watch;
  }
  free(block);
}

void* operator new[](size_t size) {
  if (void* p = allocateArray(size))
    return p;
  throw std::bad_alloc();
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
  return allocateArray(size);
}
void operator delete[](void* p) noexcept {
  releaseArray(p);
}
void operator delete[](void* p, size_t) noexcept {
  releaseArray(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  releaseArray(p);
}
