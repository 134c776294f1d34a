// How the backend reaches what a document names: files, URIs and HTTP, under
// one rule for the network. Every location is first looked up in the system
// XML catalogs, so installed stylesheets and DTDs are read offline under their
// public URIs. After that only the stylesheet tree (the stylesheet a document
// names and what it imports or includes) may come over HTTP; document(), the
// DTDs and the entities of any document never do.
//
// Every read is bounded: a local resource must be a regular file (a device,
// FIFO, socket or directory is refused at once, never waited on), and an HTTP
// read ends after kNetworkDeadline and kMaxResourceBytes.
#pragma once

#include <libxml/parser.h>
#include <libxslt/documents.h>

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

namespace tarnweld::xml {

// The longest an HTTP read may take, from connecting to the last byte: short
// enough that a server trickling its answer ends the run within ten seconds.
inline constexpr std::chrono::seconds kNetworkDeadline{8};
// The most bytes a resource read whole may hold (a stylesheet, an HTTP body).
inline constexpr std::size_t kMaxResourceBytes = 32 * 1024 * 1024;

// Whether a read may use the network.
enum class Reach { kLocalOnly, kNetwork };

// A resource's bytes, or why there are none.
struct ResourceRead {
  std::optional<std::string> bytes;
  bool notFound = false;  // nothing exists at the location
  std::string reason;     // what went wrong, UTF-8; empty when bytes came
};

// `location` as the system catalogs map it, or as it is when none does or
// when it is a plain path rather than a URI.
std::string resolveThroughCatalogs(const std::string& location);

// The bytes of a file or of the resource a URI names, at most
// kMaxResourceBytes of them.
ResourceRead readResource(const std::string& location, Reach reach);

// The location given to the parser as the document's base: a path is escaped
// as a URI, or libxml2 cannot resolve references against a path with spaces.
std::string baseOf(const std::string& location);

// Makes libxml2 read every DTD and external entity through the backend's
// rules; once per process.
void installEntityLoader();

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
