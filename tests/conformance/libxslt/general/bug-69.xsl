<?xml version="1.0" encoding="iso-8859-1"?>

<xsl:transform
  version="1.0"
  xmlns:xsl="http://www.w3.org/1999/XSL/Transform">

  <xsl:template match="problème">
    <xsl:text>Success</xsl:text>
  </xsl:template>

</xsl:transform>

