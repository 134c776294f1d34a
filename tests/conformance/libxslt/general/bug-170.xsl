<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
    <xsl:template match="a[@type='b']" >
        <xsl:if test="position()"/>
    </xsl:template>
    <xsl:template match="a[@type='XX'][.]"/>
</xsl:stylesheet>
