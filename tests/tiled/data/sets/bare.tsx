<?xml version="1.0" encoding="UTF-8"?>
<tileset name="bare" tilewidth="32" tileheight="32">
 <image source="../tiles.png"/>
</tileset>
