<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">

<xsl:output method="html" version="5"/>

<xsl:template match="/">
    <html/>
</xsl:template>

</xsl:stylesheet>
