// Linux: the host editor's object on the session bus, libxml2 and libxslt.
#ifdef TARNWELD_MIMALLOC
#include <mimalloc.h>
#endif

#include "host/dbus/dbus_automation.h"
#include "main/make_backends.h"
#include "xml/libxml/libxml_parser.h"

namespace tarnweld {

namespace {
// The documents are released just before the process ends (modMain::entry),
// so their trees are left to it, and their nodes come from the node pool;
// the sanitizer build frees everything through malloc, so that a leak or a
// stray access still shows.
#ifdef TARNWELD_SANITIZE
constexpr xml::TreeRelease kTreeRelease = xml::TreeRelease::Free;
constexpr xml::NodeBlocks kNodeBlocks = xml::NodeBlocks::Malloc;
#else
constexpr xml::TreeRelease kTreeRelease = xml::TreeRelease::LeftToProcessEnd;
constexpr xml::NodeBlocks kNodeBlocks = xml::NodeBlocks::Pooled;
#endif

// mimalloc keeps freed pages a moment for reuse; once the result tree has
// gone they are given back at once, before the result's text is read in.
#ifdef TARNWELD_MIMALLOC
void releaseFreedMemory() { mi_collect(true); }
constexpr xml::ReleaseFreedMemory kReleaseFreedMemory = &releaseFreedMemory;
#else
constexpr xml::ReleaseFreedMemory kReleaseFreedMemory = nullptr;
#endif
}  // namespace

PlatformBackends makePlatformBackends() {
  // The plug-in never outlives its host editor.
  return {makeDbusAutomationBackend(WhenHostLeaves::EndProcess), xml::makeLibxmlParser(kTreeRelease, kNodeBlocks, kReleaseFreedMemory)};
}

}  // namespace tarnweld
