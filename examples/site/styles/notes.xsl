<?xml version="1.0" encoding="UTF-8"?>
<!-- Lists the notes by tag, as plain text. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="text" encoding="UTF-8"/>
  <xsl:key name="by-tag" match="note" use="@tag"/>

  <xsl:template match="/notes">
    <xsl:for-each select="note[generate-id() = generate-id(key('by-tag', @tag)[1])]">
      <xsl:sort select="@tag"/>
      <xsl:value-of select="concat('[', @tag, ']&#10;')"/>
      <xsl:for-each select="key('by-tag', @tag)">
        <xsl:value-of select="concat('  ', @date, '  ', ., '&#10;')"/>
      </xsl:for-each>
    </xsl:for-each>
  </xsl:template>
</xsl:stylesheet>
