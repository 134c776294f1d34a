<?xml version="1.0" encoding="UTF-8"?>
<!-- Renders the catalog as an HTML table, newest records first, with a total. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="html" indent="yes" encoding="UTF-8"/>

  <xsl:template match="/catalog">
    <html>
      <head>
        <title><xsl:value-of select="@title"/></title>
        <style>
          body { font-family: sans-serif; margin: 2em; }
          table { border-collapse: collapse; }
          th, td { padding: 0.3em 0.8em; border-bottom: 1px solid #ccc; text-align: left; }
          td.price { text-align: right; }
        </style>
      </head>
      <body>
        <h1><xsl:value-of select="@title"/></h1>
        <table>
          <tr><th>Title</th><th>Artist</th><th>Year</th><th>Price</th></tr>
          <xsl:apply-templates select="record">
            <xsl:sort select="year" data-type="number" order="descending"/>
          </xsl:apply-templates>
          <tr>
            <th colspan="3">Total (<xsl:value-of select="count(record)"/> records)</th>
            <td class="price"><xsl:value-of select="format-number(sum(record/price), '0.00')"/></td>
          </tr>
        </table>
      </body>
    </html>
  </xsl:template>

  <xsl:template match="record">
    <tr>
      <td><xsl:value-of select="title"/></td>
      <td><xsl:value-of select="artist"/></td>
      <td><xsl:value-of select="year"/></td>
      <td class="price"><xsl:value-of select="price"/>&#160;<xsl:value-of select="price/@currency"/></td>
    </tr>
  </xsl:template>
</xsl:stylesheet>
