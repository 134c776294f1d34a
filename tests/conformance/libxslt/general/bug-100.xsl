<?xml version='1.0'?>
<xsl:stylesheet xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
		xmlns="http://xmlsoft.org/XSLT/"
		extension-element-prefixes="#default"
                version='1.0'>
<xsl:template match="/">
<test/>
</xsl:template>
</xsl:stylesheet>
