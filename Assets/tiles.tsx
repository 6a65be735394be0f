<?xml version="1.0" encoding="UTF-8"?>
<tileset version="1.8" tiledversion="1.8.2" name="tiles" tilewidth="64" tileheight="64" tilecount="12" columns="4">
 <image source="tiles.png" width="256" height="192"/>
 <tile id="5" type="draught"/>
 <tile id="6" type="draught"/>
</tileset>
