<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">

  <xsl:attribute-set name="set">
    <xsl:attribute name="attr">BAD</xsl:attribute>
    <xsl:attribute name="other">BAD</xsl:attribute>
  </xsl:attribute-set>

</xsl:stylesheet>
