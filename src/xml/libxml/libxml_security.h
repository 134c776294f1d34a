// What a transformation may do beyond computing its result.
#pragma once

#include "xml/libxml/libxml_owners.h"

namespace tarnweld::xml {

// Security preferences for one transformation: it may read other documents,
// but writes no file, creates no directory and sends nothing over the network,
// whatever extension it calls. Null when libxslt could not make them.
SecurityPrefsPtr makeSecurityPrefs();

}  // namespace tarnweld::xml
