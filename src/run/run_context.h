// The run context: every object one start of the program owns. Whatever
// step creates an object stores it here; only the entry procedure releases
// them, at its end, in a fixed order.
#pragma once

#include <memory>

#include "host/plugin_host.h"
#include "run/run_request.h"
#include "xml/xml_document.h"

namespace tarnweld {

struct RunContext {
  PluginHost host;
  std::unique_ptr<xml::XmlDocument> xmlDocument;
  std::unique_ptr<xml::XmlDocument> stylesheetDocument;
  RunRequest request;

  // Releases the stylesheet document, then the XML document, then the host
  // session. Releasing what was never created does nothing.
  void release() {
    stylesheetDocument.reset();
    xmlDocument.reset();
    host.release();
  }
};

}  // namespace tarnweld
