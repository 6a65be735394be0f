<?xml version="1.0" encoding="UTF-8"?>
<tileset version="1.8" tiledversion="1.8.2" name="pics" tilewidth="64" tileheight="64" tilecount="1" columns="0">
 <tile id="0">
  <image width="64" height="64" source="../marks.png"/>
 </tile>
</tileset>
