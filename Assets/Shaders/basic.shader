#shader vertex
#version 330 core

layout(location = 0) in vec3 a_Position;
layout(location = 1) in vec2 a_TexCoord;

uniform mat4 u_ViewProjection;
uniform mat4 u_Transform;
uniform vec2 u_texPos;
uniform vec2 u_texScale;

out vec2 v_TexCoord;

void main() {
    v_TexCoord = u_texPos + a_TexCoord * u_texScale;
    gl_Position = u_ViewProjection * u_Transform * vec4(a_Position, 1.0);
}

#shader fragment
#version 330 core

in vec2 v_TexCoord;

// Never set: it keeps its default unit 0, where every draw binds its texture.
uniform sampler2D u_Texture;

layout(location = 0) out vec4 color;

void main() {
    color = texture(u_Texture, v_TexCoord);
}
