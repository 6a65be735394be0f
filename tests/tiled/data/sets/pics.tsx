<?xml version="1.0" encoding="UTF-8"?>
<tileset version="1.8" tiledversion="1.8.2" name="pics" tilewidth="256" tileheight="192" tilecount="3" columns="0" objectalignment="center">
 <grid orientation="orthogonal" width="1" height="1"/>
 <tile id="0" type="cloud">
  <image width="256" height="192" source="../tiles.png"/>
 </tile>
 <tile id="3" x="2" y="2" width="64" height="64">
  <image width="200" height="133" source="../marks.png"/>
 </tile>
 <tile id="5">
  <image source="../nothere.png"/>
 </tile>
</tileset>
