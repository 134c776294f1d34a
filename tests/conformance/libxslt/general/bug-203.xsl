<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">

<xsl:decimal-format name="testns:format" decimal-separator=","/>

</xsl:stylesheet>
