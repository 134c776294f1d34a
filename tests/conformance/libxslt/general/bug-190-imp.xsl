<xsl:stylesheet
  version="1.0"
  xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
  xmlns:ns2="urn:foo">

  <xsl:attribute-set name="ns2:set">
    <xsl:attribute name="attr">value</xsl:attribute>
  </xsl:attribute-set>

</xsl:stylesheet>
