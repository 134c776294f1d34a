<?xml version="1.0"?>
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">

<xsl:template match="/">
 <doc att="&#x9;&#xD;"><xsl:text>&#xD;</xsl:text></doc>
</xsl:template>

</xsl:stylesheet>
