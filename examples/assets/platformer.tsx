<?xml version="1.0" encoding="UTF-8"?>
<tileset version="1.8" tiledversion="1.8.2" name="platformer" tilewidth="32" tileheight="32" tilecount="8" columns="4">
 <image source="platformer.png" width="128" height="64"/>
 <tile id="0" type="solid"/>
 <tile id="1" type="solid"/>
 <tile id="2" type="solid"/>
 <tile id="3" type="solid"/>
 <tile id="4" type="solid"/>
</tileset>
