<?xml version="1.0"?>
<stylesheet version="1.0" xmlns="http://www.w3.org/1999/XSL/Transform">
    <template match="/">
        <value-of select="id('indexme')/@some-attr"/>
    </template>
</stylesheet>
