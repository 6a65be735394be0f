<?xml version="1.0" encoding="UTF-8"?>
<tileset version="1.8" tiledversion="1.8.2" name="platformer" tilewidth="32" tileheight="32" tilecount="16" columns="4">
 <image source="platformer.png" width="128" height="128"/>
 <tile id="0" type="solid"/>
 <tile id="1" type="solid"/>
 <tile id="2" type="solid"/>
 <tile id="3" type="solid"/>
 <tile id="4" type="solid"/>
 <tile id="8" type="solid">
  <objectgroup draworder="index" id="2">
   <object id="1" x="0" y="32">
    <polygon points="0,0 32,-32 32,0"/>
   </object>
  </objectgroup>
 </tile>
 <tile id="9" type="solid">
  <objectgroup draworder="index" id="2">
   <object id="1" x="0" y="0">
    <polygon points="0,0 32,32 0,32"/>
   </object>
  </objectgroup>
 </tile>
 <tile id="10" type="solid">
  <objectgroup draworder="index" id="2">
   <object id="1" x="0" y="0">
    <polygon points="0,0 32,16 32,32 0,32"/>
   </object>
  </objectgroup>
 </tile>
 <tile id="11" type="solid">
  <objectgroup draworder="index" id="2">
   <object id="1" x="0" y="16">
    <polygon points="0,0 32,16 0,16"/>
   </object>
  </objectgroup>
 </tile>
 <tile id="12" type="solid"/>
 <tile id="13" type="solid"/>
 <tile id="14" type="solid"/>
</tileset>
