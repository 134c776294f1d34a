<?xml version="1.0" encoding="utf-8"?>
<xsl:stylesheet xmlns:xsl="http://www.w3.org/1999/XSL/Transform" 
  xmlns:fo="http://www.w3.org/1999/XSL/Format"
  exclude-result-prefixes="fo"
                  version="1.0">
<xsl:output method="html"
            encoding="ISO-8859-1"
            indent="no"/>


<xsl:template match="*">
<a href="a b c"/>
</xsl:template>
</xsl:stylesheet>
