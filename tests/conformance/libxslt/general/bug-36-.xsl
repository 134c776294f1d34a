<?xml version='1.0'?>
<xsl:stylesheet xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
		version='1.0'>

<xsl:include href="bug-36-inc.xsl" />

</xsl:stylesheet>

