<xsl:stylesheet xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
                xmlns:fo="http://www.w3.org/1999/XSL/Format"
                version="1.0">

<xsl:import href="bug-131-imp.imp"/>

<xsl:attribute-set name="title.properties">
    <xsl:attribute name="font-size">8pt</xsl:attribute>
</xsl:attribute-set>

</xsl:stylesheet>


