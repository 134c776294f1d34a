<xsl:stylesheet xmlns:xsl="http://www.w3.org/1999/XSL/Transform" version="1.0">
  <template xmlns="http://www.w3.org/1999/XSL/Transform" match="*[element-available('apply-templates')]">
    <text>found</text>
  </template>
</xsl:stylesheet>
