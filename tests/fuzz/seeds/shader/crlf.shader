#shader vertex
void main() {}
#shader fragment // out
void main() {}
