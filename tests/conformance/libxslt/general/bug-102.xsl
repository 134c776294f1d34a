<?xml version="1.0"?>
<xsl:stylesheet version="1.0" 
 xmlns:xsl="http://www.w3.org/1999/XSL/Transform"> 
  <xsl:import href="bug-102-inc.xsl"/>
  
  <xsl:attribute-set name="foo-attribs">
    <xsl:attribute name="size">+2</xsl:attribute>
  </xsl:attribute-set>
  
</xsl:stylesheet>
