<?xml version="1.0" encoding="UTF-8"?>
<!-- Hand-written: a sheet of 3 x 2 tiles with a margin and spacing; the
     tests draw its image, marks.png (200 x 133 pixels). -->
<tileset version="1.8" tiledversion="1.8.2" name="marks" tilewidth="64" tileheight="64" spacing="3" margin="2" tilecount="6" columns="3">
 <image source="marks.png" width="200" height="133"/>
 <tile id="0" type="sign">
  <properties>
   <property name="text">two
lines</property>
  </properties>
 </tile>
 <tile id="4" type="decoration"/>
</tileset>
