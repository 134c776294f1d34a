// A shared library loaded at run time, for a dependency only some runs need:
// the process does not pay for loading it (and what it pulls in) at start.
#pragma once

#include <dlfcn.h>

#include <memory>
#include <string>

#include "core/result.h"

namespace tarnweld::posix {

struct CloseSharedLibrary {
  void operator()(void* handle) const { dlclose(handle); }
};
// Owns the handle: the library is closed when its owner goes.
using SharedLibrary = std::unique_ptr<void, CloseSharedLibrary>;

// Loads `name` (a soname such as "libcurl.so.4") with all its symbols bound
// now; a library that is not installed is kNotFound. Closing the handle
// never unloads it: what it pulls in (OpenSSL) keeps thread-local storage
// and exit handlers that must not point into unloaded code at the end of
// the process.
inline Result<SharedLibrary> openSharedLibrary(const std::string& name) {
  SharedLibrary library(dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE));
  if (!library) return fail(name + " is not installed", FailureKind::kNotFound);
  return library;
}

// The function `name` of `library`, as the type F the caller declares.
template <typename F>
Result<F> functionOf(const SharedLibrary& library, const std::string& name) {
  void* symbol = dlsym(library.get(), name.c_str());
  if (!symbol) return fail(name + " is missing from the library");
  return reinterpret_cast<F>(symbol);
}

}  // namespace tarnweld::posix
