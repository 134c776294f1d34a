<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">

<xsl:decimal-format xmlns:testns="urn:test:1" name="testns:0format" decimal-separator=","/>

</xsl:stylesheet>
