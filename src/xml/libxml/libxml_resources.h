// How the backend reaches what a document names: files, URIs and HTTP, under
// one rule for the network. Every location is first looked up in the system
// XML catalogs, so installed stylesheets and DTDs are read offline under their
// public URIs. After that only the stylesheet tree (the stylesheet a document
// names and what it imports or includes) may come over HTTP; document(), the
// DTDs and the entities of any document never do.
//
// Every read is bounded: a local resource must be a regular file (a device,
// FIFO, socket or directory is refused at once, never waited on), an HTTP
// read ends after kNetworkDeadline and kMaxResourceBytes, and the HTTP reads
// of one stylesheet tree end after kStylesheetTreeNetworkTime together.
#pragma once

#include <libxml/parser.h>
#include <libxslt/documents.h>

#include <chrono>
#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

#include "core/result.h"

namespace tarnweld::xml {

// The longest an HTTP read may take, from connecting to the last byte: short
// enough that a server trickling its answer ends the run within ten seconds.
inline constexpr std::chrono::seconds kNetworkDeadline{8};
// All the network reads of one stylesheet tree (the stylesheet and what it
// imports and includes) take at most this long together, each one still
// within kNetworkDeadline: a chain of slow servers cannot hold a run longer.
inline constexpr std::chrono::seconds kStylesheetTreeNetworkTime{30};

// The time left for the network reads of one stylesheet tree.
class NetworkTime {
 public:
  using Duration = std::chrono::steady_clock::duration;
  // kStylesheetTreeNetworkTime, unless the tests set another.
  NetworkTime();
  explicit NetworkTime(Duration total) : total_(total), left_(total) {}

  Duration total() const { return total_; }
  Duration left() const { return left_; }
  void spend(Duration spent) { left_ -= spent; }

 private:
  Duration total_;
  Duration left_;
};

// For the tests only, which cannot wait half a minute: the time a stylesheet
// tree's network reads get from now on, in place of kStylesheetTreeNetworkTime.
void useStylesheetTreeNetworkTimeForTests(NetworkTime::Duration total);

// The most a resource read whole may hold (a stylesheet, an HTTP body): in
// MiB, as the reason for refusing a larger one states it, and in bytes.
inline constexpr std::size_t kMaxResourceMiB = 32;
inline constexpr std::size_t kMaxResourceBytes = kMaxResourceMiB * 1024 * 1024;
// A resource read whole is handed to the parser, which takes an int length.
static_assert(kMaxResourceBytes <= static_cast<std::size_t>(std::numeric_limits<int>::max()));

// Whether a read may use the network.
enum class Reach { kLocalOnly, kNetwork };

// `location` as the system catalogs map it, or as it is when none does or
// when it is a plain path rather than a URI.
std::string resolveThroughCatalogs(const std::string& location);

// `failed`, the failure of a read of `location`, with a note added to its
// reason when `location` is a URI no catalog maps (not a path, not file:):
// installing the package whose catalog maps it is the way out.
Failure noteNoCatalogMaps(Failure failed, const std::string& location);

// The bytes of a file or of the resource a URI names, at most
// kMaxResourceBytes of them; kNotFound when nothing exists at the location.
// The reason is a short UTF-8 text for a report. A network read spends
// `networkTime`, and is refused, naming the bound, once that has run out.
Result<std::string> readResource(const std::string& location, Reach reach, NetworkTime& networkTime);

// The location given to the parser as the document's base: a path is escaped
// as a URI, or libxml2 cannot resolve references against a path with spaces.
std::string baseOf(const std::string& location);

// Whether a reference, as written, holds an escaped control character
// ("%00" to "%1F", "%7F"). Such a name is refused before anything unescapes
// it: libxml2 would cut it at an escaped NUL and read another file.
bool holdsEscapedControl(std::string_view reference);

// Makes libxml2 read every DTD, external entity and catalog through the
// backend's rules; once per process. A catalog (the system's, or one a
// document names in an oasis-xml-catalog instruction) is read only from a
// local regular file.
void installEntityLoader();

// Makes a parser context apply the backend's rules to the references of the
// documents it parses: an entity or external DTD whose name holds an escaped
// control character is refused (the load fails with why) and never read.
void applyReferenceRules(xmlParserCtxt& ctxt);

// Refuses an xsl:include or xsl:import of `stylesheet` whose href holds an
// escaped control character, recording why; true when none does.
bool stylesheetReferencesAllowed(const xmlDoc& stylesheet);

// Makes document() in `transformation` refuse a name holding an escaped
// control character (it gives an empty node-set and the reason is recorded).
void applyReferenceRules(xsltTransformContext& transformation);

// Installs the backend's loader for what a stylesheet includes or imports and
// what document() names, for the lifetime of a transformation; restores the
// loader that was installed before. What the stylesheet tree reads over the
// network spends `networkTime`, the time its stylesheet's own read left.
class LoaderGuard {
 public:
  explicit LoaderGuard(NetworkTime& networkTime);
  ~LoaderGuard();
  LoaderGuard(const LoaderGuard&) = delete;
  LoaderGuard& operator=(const LoaderGuard&) = delete;

 private:
  xsltDocLoaderFunc saved_;
  NetworkTime* savedTime_;
};

}  // namespace tarnweld::xml
