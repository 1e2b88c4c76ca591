// Looks into every array given back with delete[] while a watch is on, so a
// test can tell whether secret bytes were left behind in released memory.
// The array forms of new and delete of this test program are replaced for it
// (ReleasedArrays.cpp); they allocate with malloc and free.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

class ReleasedArrayWatch {
public:
  // Watches for any of the byte strings (each non-empty) until destroyed.
  explicit ReleasedArrayWatch(std::vector<std::string> secrets);
  ~ReleasedArrayWatch();
  ReleasedArrayWatch(const ReleasedArrayWatch&) = delete;
  ReleasedArrayWatch& operator=(const ReleasedArrayWatch&) = delete;

  // How many released arrays held one of the secrets.
  int leaks() const { return leaks_; }

  // Called for every array released while this watch is on.
  void look(const void* block, size_t size);

private:
  std::vector<std::string> secrets_;
  int leaks_ = 0;
};

} // namespace testing_support
