// One function of an optional library, bound at run time. The library
// specification is a comma-separated list of alternatives: "name[0,1]" tries
// "libname.so.0" then "libname.so.1", a bare "name" tries "libname.so". When
// nothing is found the function stays unbound; nothing is thrown. The object
// keeps the library open while it lives.
#pragma once

namespace zav {

class LibraryBinding {
public:
  LibraryBinding(const char* spec, const char* symbol);
  ~LibraryBinding();
  LibraryBinding(const LibraryBinding&) = delete;
  LibraryBinding& operator=(const LibraryBinding&) = delete;
  void* address() const { return address_; }

private:
  void* library_ = nullptr;
  void* address_ = nullptr;
};

template <typename Fn> class LibraryFn {
public:
  LibraryFn(const char* spec, const char* symbol) : binding_(spec, symbol) {}
  explicit operator bool() const { return binding_.address() != nullptr; }
  Fn operator*() const { return reinterpret_cast<Fn>(binding_.address()); }

private:
  LibraryBinding binding_;
};

} // namespace zav
