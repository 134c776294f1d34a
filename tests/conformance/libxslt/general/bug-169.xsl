<?xml version="1.0" encoding="iso-8859-1"?>

<xsl:stylesheet xmlns:xsl="http://www.w3.org/1999/XSL/Transform" version="1.0">

<xsl:import href="bug-169.imp"/>

<xsl:template match="/">
    <result attr="Fahrvergnügen"/>
</xsl:template>

</xsl:stylesheet>
