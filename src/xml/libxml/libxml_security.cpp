#include "xml/libxml/libxml_security.h"

namespace tarnweld::xml {

SecurityPrefsPtr makeSecurityPrefs() {
  SecurityPrefsPtr prefs(xsltNewSecurityPrefs());
  if (!prefs) return nullptr;
  for (xsltSecurityOption option :
       {XSLT_SECPREF_WRITE_FILE, XSLT_SECPREF_CREATE_DIRECTORY, XSLT_SECPREF_WRITE_NETWORK}) {
    if (xsltSetSecurityPrefs(prefs.get(), option, xsltSecurityForbid) != 0) return nullptr;
  }
  return prefs;
}

}  // namespace tarnweld::xml
