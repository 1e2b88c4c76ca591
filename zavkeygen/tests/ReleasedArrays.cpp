#include "ReleasedArrays.h"

#include <cstdlib>
#include <cstring>
#include <malloc.h>
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

static void* allocateArray(size_t size) {
  void* p = malloc(size ? size : 1);
  if (!p)
    throw std::bad_alloc();
  return p;
}

static void releaseArray(void* p) {
  if (!p)
    return;
  if (testing_support::ReleasedArrayWatch* watch = testing_support::activeWatch) {
    // The watch is off while it looks, in case looking releases an array.
    testing_support::activeWatch = nullptr;
    watch->look(p, malloc_usable_size(p));
    testing_support::activeWatch = watch;
  }
  free(p);
}

void* operator new[](size_t size) {
  return allocateArray(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
  return malloc(size ? size : 1);
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
