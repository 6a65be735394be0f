#pragma once

#include <istream>
#include <string>
#include <unordered_map>

#include <glm/mat4x4.hpp>

#include <engine/core/Base.h>

namespace Engine {

// The two stages of a combined shader file.
struct ShaderSources {
    std::string vertex;
    std::string fragment;
};

// Splits a combined file: a line containing "#shader" switches to the vertex
// stage if it mentions "vertex", else to the fragment stage if it mentions
// "fragment"; every other line goes to the current stage with a newline.
ShaderSources SplitShaderSource(std::istream& in);

// The engine's own shader, which draws textured quads by the draw contract:
// position at location 0, texture coordinate at 1, the uniforms
// "u_ViewProjection", "u_Transform", "u_texPos" and "u_texScale".
const ShaderSources& DefaultShaderSources();

class Shader {
public:
    explicit Shader(const std::string& path);
    // Compiles and links the two stages given as text; name stands for the
    // path in GetPath.
    Shader(const ShaderSources& sources, std::string name);
    Shader(const Shader&) = delete;
    Shader& operator=(const Shader&) = delete;
    ~Shader();

    void Bind();
    void Unbind();
    void SetUniformInt1(const std::string& name, int i);
    void SetUniformFloat1(const std::string& name, float v0);
    void SetUniformFloat2(const std::string& name, float v0, float v1);
    void SetUniformFloat3(const std::string& name, float v0, float v1, float v2);
    void SetUniformFloat4(const std::string& name, float v0, float v1, float v2, float v3);
    void SetUniformMat4(const std::string& name, glm::mat4 mat);
    unsigned int CreateShader(const std::string& vert, const std::string& frag);

    // A new program of the engine's own shader; needs a current GL context.
    static Ref<Shader> CreateDefault();

    unsigned int GetID() const { return m_id; }
    const std::string& GetPath() const { return m_FilePath; }

private:
    // A name the program does not have is fatal. Found names are kept: the
    // program is linked once, so its locations never change.
    int GetUniformLocation(const std::string& name);
    unsigned int CompileShader(unsigned int type, const std::string& source);

    unsigned int m_id = 0;
    std::string m_FilePath;
    std::unordered_map<std::string, int> m_locations;
};

} // namespace Engine
