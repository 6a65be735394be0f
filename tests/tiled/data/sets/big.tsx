<?xml version="1.0" encoding="UTF-8"?>
<tileset version="1.8" tiledversion="1.8.2" name="big" tilewidth="128" tileheight="96" tilecount="4" columns="2" objectalignment="bottom">
 <tileoffset x="4" y="-8"/>
 <image source="../tiles.png" width="256" height="192"/>
</tileset>
