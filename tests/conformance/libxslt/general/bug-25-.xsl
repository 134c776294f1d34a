<xsl:stylesheet xmlns:xsl="http://www.w3.org/1999/XSL/Transform" version="1.0">

<xsl:output method="xml" encoding="UTF-8"
 doctype-public="-//WAPFORUM//DTD WML 1.1//EN"
 doctype-system="http://www.wapforum.org/DTD/wml_1.1.xml"/>

<xsl:template match="/">
<doc/>
</xsl:template>
</xsl:stylesheet>
