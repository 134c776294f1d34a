<?xml version="1.0"?>

<xsl:transform xmlns:xsl="http://www.w3.org/1999/XSL/Transform" 
xmlns:a="a">
   <xsl:template match="/">
        <xsl:call-template name="a:a"/>
   </xsl:template>
</xsl:transform>


