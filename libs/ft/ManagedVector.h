// A growable array of owned pointers: the vector deletes its elements, from
// the last to the first, when it is cleared or destroyed.
#pragma once

#include <cstddef>
#include <vector>

namespace ft {

template <class T> class ManagedVector {
public:
  ManagedVector() = default;
  virtual ~ManagedVector() { clear(); }
  ManagedVector(const ManagedVector&) = delete;
  ManagedVector& operator=(const ManagedVector&) = delete;

  virtual void clear() {
    while (!items_.empty()) {
      T* last = items_.back();
      items_.pop_back();
      delete last;
    }
  }

  // Takes ownership of item.
  void push_back(T* item) { items_.push_back(item); }
  // Moves every element of other to the end of this vector; other is left
  // empty.
  void takeAll(ManagedVector& other) {
    items_.insert(items_.end(), other.items_.begin(), other.items_.end());
    other.items_.clear();
  }
  // Removes the element at i and hands it to the caller, who then owns it.
  T* release(std::size_t i) {
    T* item = items_[i];
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
    return item;
  }
  std::size_t size() const { return items_.size(); }
  bool empty() const { return items_.empty(); }
  T* operator[](std::size_t i) const { return items_[i]; }

private:
  std::vector<T*> items_;
};

} // namespace ft
