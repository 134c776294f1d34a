<xsl:stylesheet xmlns:xsl="http://www.w3.org/1999/XSL/Transform" version="1.0">
<xsl:output method="html" encoding="ascii"/>
        
<xsl:template match="/">
  <html>
    <head/>
    <body>
      <a href="#&#x451;">&#x451;</a>
      <p>a lot of text</p>

      <a name="&#x451;"/><h1>&#x451;</h1>
      <p>a lot of text</p>
    </body>
  </html>
</xsl:template>

</xsl:stylesheet>
