dropped
#shader fragment
a
#shader vertex
b
#shader geometry
c
// #shader fragment too
d
#shader vertex fragment
e