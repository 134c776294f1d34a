// How the backend reaches what a document names: files, URIs and HTTP, under
// one rule for the network. Only a stylesheet or a resource a transformation
// reads may come over HTTP; the DTDs and entities of any document never do.
#pragma once

#include <libxslt/documents.h>

#include <optional>
#include <string>

namespace tarnweld::xml {

// The bytes of a file or of the resource a URI names, or nothing when they
// cannot be had. `allowNetwork` is false when only local resources may be read.
std::optional<std::string> readResource(const std::string& location, bool allowNetwork);

// The location given to the parser as the document's base: a path is escaped
// as a URI, or libxml2 cannot resolve references against a path with spaces.
std::string baseOf(const std::string& location);

// Installs the backend's loader for what a stylesheet includes or imports and
// what document() names, for the lifetime of a transformation; restores the
// loader that was installed before.
class LoaderGuard {
 public:
  LoaderGuard();
  ~LoaderGuard();
  LoaderGuard(const LoaderGuard&) = delete;
  LoaderGuard& operator=(const LoaderGuard&) = delete;

 private:
  xsltDocLoaderFunc saved_;
};

}  // namespace tarnweld::xml
