<x:stylesheet xmlns:x="http://www.w3.org/1999/XSL/Transform" version="1.0">

<x:template match="/">
    <x:param name="p" select="$p"/>
    <x:param name="p2" select="$p"/>
</x:template>

</x:stylesheet>
