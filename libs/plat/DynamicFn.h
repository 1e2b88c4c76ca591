// One function of an optional system library, bound at run time. The library
// specification lists candidates with their accepted major versions, such as
// "Xfixes[3,2,1]" (libXfixes.so.3, then .2, then .1) or "pam[0],pam"
// (libpam.so.0, then libpam.so); a name holding a "/" is a path opened as it
// is. The symbol specification lists alternative names. The first library
// holding one of the symbols is kept open while the object lives. Nothing is
// thrown: users test the function and report the feature unavailable.
#pragma once

namespace plat {

class DynamicFn {
public:
  // With literal set, the library specification is a plain ','-separated
  // list of file names, each opened unchanged.
  DynamicFn(const char* librarySpec, const char* symbolSpec, bool literal = false);
  ~DynamicFn();
  DynamicFn(const DynamicFn&) = delete;
  DynamicFn& operator=(const DynamicFn&) = delete;

  // The bound function, to be cast to its real type; null when not found.
  void* getFunction() const { return function_; }
  // The library handle; null when no library is held.
  void* getHandle() const { return handle_; }

  // Opens file and looks up each alternative of symbolSpec in turn; keeps
  // the library open and answers true at the first one found.
  bool tryLibrary(const char* file, const char* symbolSpec);

private:
  void* function_ = nullptr;
  void* handle_ = nullptr;
};

} // namespace plat
