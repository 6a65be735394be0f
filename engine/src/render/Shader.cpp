#include <engine/render/Shader.h>

#include <cstdio>
#include <fstream>
#include <vector>

#include <engine/core/Log.h>

#include "core/GLUtil.h"

namespace Engine {

namespace {

// Made too early, as by a scene's member before Engine::Run opens the window,
// a shader's first GL call would jump through a null pointer.
bool ContextFor(const std::string& name) {
    if (GLContextCurrent())
        return true;
    Log::Warn("SHADER", "No OpenGL context to compile the shader into: %s", name.c_str());
    return false;
}

} // namespace

ShaderSources SplitShaderSource(std::istream& in) {
    enum class ShaderType { NONE = -1, VERTEX = 0, FRAGMENT = 1 };
    ShaderSources sources;
    ShaderType type = ShaderType::NONE;
    std::string line;
    while (std::getline(in, line)) {
        if (line.find("#shader") != std::string::npos) {
            if (line.find("vertex") != std::string::npos)
                type = ShaderType::VERTEX;
            else if (line.find("fragment") != std::string::npos)
                type = ShaderType::FRAGMENT;
            continue;
        }
        // Lines before the first directive belong to no stage and are dropped.
        if (type == ShaderType::VERTEX)
            sources.vertex += line + '\n';
        else if (type == ShaderType::FRAGMENT)
            sources.fragment += line + '\n';
    }
    return sources;
}

const ShaderSources& DefaultShaderSources() {
    // The colour multiplies the texel: a shape's colour over a white texel, a
    // sprite's tint over its picture. Quads of the shared mesh carry none and
    // get white (GLRenderer::BindSharedQuad).
    static const ShaderSources sources{
        R"(#version 330 core
layout(location = 0) in vec3 a_Position;
layout(location = 1) in vec2 a_TexCoord;
layout(location = 2) in vec4 a_Color;
uniform mat4 u_ViewProjection;
uniform mat4 u_Transform;
uniform vec2 u_texPos;
uniform vec2 u_texScale;
out vec2 v_TexCoord;
out vec4 v_Color;
void main() {
    v_TexCoord = u_texPos + a_TexCoord * u_texScale;
    v_Color = a_Color;
    gl_Position = u_ViewProjection * u_Transform * vec4(a_Position, 1.0);
}
)",
        R"(#version 330 core
in vec2 v_TexCoord;
in vec4 v_Color;
// Left at its default unit 0, where every draw binds its texture.
uniform sampler2D u_Texture;
layout(location = 0) out vec4 color;
void main() {
    color = texture(u_Texture, v_TexCoord) * v_Color;
}
)"};
    return sources;
}

Shader::Shader(const ShaderSources& sources, std::string name) : m_FilePath(std::move(name)) {
    if (!ContextFor(m_FilePath))
        return;
    m_id = CreateShader(sources.vertex, sources.fragment);
    GLCall(glUseProgram(m_id));
}

Ref<Shader> Shader::CreateDefault() {
    return CreateRef<Shader>(DefaultShaderSources(), "engine default shader");
}

Ref<Shader> Shader::Create(const ShaderSources& sources, std::string name) {
    GLint current = 0;
    if (GLContextCurrent())
        glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    auto shader = CreateRef<Shader>(sources, std::move(name));
    if (shader->m_id)
        glUseProgram(static_cast<GLuint>(current));
    if (shader->m_id && shader->m_failures.empty())
        return shader;
    if (shader->m_id)
        Log::Warn("SHADER", "Cannot make %s: %s", shader->m_FilePath.c_str(),
                  shader->m_failures.c_str());
    return nullptr;
}

Shader::Shader(const std::string& path) : m_FilePath(path) {
    if (!ContextFor(m_FilePath))
        return;
    std::ifstream file(path);
    // Carries on with empty stages, as before; the warning names the real cause
    // of the missing-uniform error that follows.
    if (!file)
        Log::Warn("SHADER", "Could not open shader file: %s", path.c_str());
    ShaderSources sources = SplitShaderSource(file);
    m_id = CreateShader(sources.vertex, sources.fragment);
    GLCall(glUseProgram(m_id));
}

Shader::~Shader() {
    if (m_id && GLContextCurrent())
        GLCall(glDeleteProgram(m_id));
}

unsigned int Shader::CreateShader(const std::string& vert, const std::string& frag) {
    unsigned int program = glCreateProgram();
    unsigned int vs = CompileShader(GL_VERTEX_SHADER, vert);
    unsigned int fs = CompileShader(GL_FRAGMENT_SHADER, frag);
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    glLinkProgram(program);
    glDetachShader(program, vs);
    glDetachShader(program, fs);
    glValidateProgram(program);
    glDeleteShader(vs);
    glDeleteShader(fs);
    // Kept for Create, which refuses what the constructors carry on with.
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked && m_failures.empty()) {
        std::vector<char> log(1024, '\0');
        glGetProgramInfoLog(program, static_cast<GLsizei>(log.size()), nullptr, log.data());
        m_failures = std::string("the stages do not link: ") + log.data();
    }
    return program;
}

unsigned int Shader::CompileShader(unsigned int type, const std::string& source) {
    unsigned int id = 0;
    GLCall(id = glCreateShader(type));
    const char* src = source.c_str();
    GLCall(glShaderSource(id, 1, &src, nullptr));
    GLCall(glCompileShader(id));

    int result = 0;
    GLCall(glGetShaderiv(id, GL_COMPILE_STATUS, &result));
    const char* stage = type == GL_VERTEX_SHADER ? "vertex" : "fragment";
    Log::Log("GL SHADER", "%s shader compile status: %d", stage, result);
    if (result)
        return id;

    int length = 0;
    GLCall(glGetShaderiv(id, GL_INFO_LOG_LENGTH, &length));
    std::vector<char> message(static_cast<size_t>(length > 0 ? length : 1), '\0');
    GLCall(glGetShaderInfoLog(id, static_cast<GLsizei>(message.size()), &length, message.data()));
    std::string log(message.data());
    if (!log.empty() && log.back() == '\n')
        log.pop_back();
    std::printf("Failed to compile %sshader\n%s\n", stage, log.c_str());
    m_failures += std::string(m_failures.empty() ? "" : "; ") + stage + " stage: " + log;
    std::fflush(stdout);
    GLCall(glDeleteShader(id));
    return 0;
}

void Shader::Bind() {
    GLCall(glUseProgram(m_id));
}

void Shader::Unbind() {
    GLCall(glUseProgram(0));
}

void Shader::SetUniformInt1(const std::string& name, int i) {
    GLCall(glUniform1i(GetUniformLocation(name), i));
}

void Shader::SetUniformFloat1(const std::string& name, float v0) {
    GLCall(glUniform1f(GetUniformLocation(name), v0));
}

void Shader::SetUniformFloat2(const std::string& name, float v0, float v1) {
    GLCall(glUniform2f(GetUniformLocation(name), v0, v1));
}

void Shader::SetUniformFloat3(const std::string& name, float v0, float v1, float v2) {
    GLCall(glUniform3f(GetUniformLocation(name), v0, v1, v2));
}

void Shader::SetUniformFloat4(const std::string& name, float v0, float v1, float v2, float v3) {
    GLCall(glUniform4f(GetUniformLocation(name), v0, v1, v2, v3));
}

void Shader::SetUniformMat4(const std::string& name, glm::mat4 mat) {
    GLCall(glUniformMatrix4fv(GetUniformLocation(name), 1, GL_FALSE, &mat[0][0]));
}

int Shader::GetUniformLocation(const std::string& name) {
    auto known = m_locations.find(name);
    if (known != m_locations.end())
        return known->second;
    int location = -1;
    GLCall(location = glGetUniformLocation(m_id, name.c_str()));
    if (location == -1)
        Log::Err("SHADER", "Uniform %s does not exist", name.c_str());
    else
        m_locations.emplace(name, location);
    return location;
}

} // namespace Engine
