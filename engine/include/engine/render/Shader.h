#pragma once

#include <istream>
#include <string>
#include <unordered_map>

#include <glm/mat4x4.hpp>

#include <engine/core/Base.h>

namespace Engine {

/// The two stages of a combined shader file.
struct ShaderSources {
    std::string vertex;   ///< GLSL of the vertex stage.
    std::string fragment; ///< GLSL of the fragment stage.
};

/// Splits a combined file: a line containing "#shader" switches to the vertex
/// stage if it mentions "vertex", else to the fragment stage if it mentions
/// "fragment"; every other line goes to the current stage with a newline.
ShaderSources SplitShaderSource(std::istream& in);

/// The engine's own shader, which draws textured quads by the draw contract:
/// position at location 0, texture coordinate at 1, the uniforms
/// "u_ViewProjection", "u_Transform", "u_texPos" and "u_texScale"; and a colour
/// at location 2 that multiplies the texel: the colour of Draw's shapes and the
/// tint of its sprites. The renderer systems' quads carry none and get white.
const ShaderSources& DefaultShaderSources();

/// A linked GL program of a vertex and a fragment stage, and its uniforms by name.
/// Made, used and destroyed with a current GL context; one made without a
/// context (before Engine::Run opens the window) warns and holds no program.
class Shader {
public:
    /// Compiles and links a combined file (see SplitShaderSource); a file that
    /// cannot be read gives empty stages, with a warning. Left bound.
    explicit Shader(const std::string& path);
    /// Compiles and links the two stages given as text; name stands for the
    /// path in GetPath.
    Shader(const ShaderSources& sources, std::string name);
    Shader(const Shader&) = delete;
    Shader& operator=(const Shader&) = delete;
    ~Shader(); ///< Deletes the program while a context is current.

    void Bind();   ///< Makes the program current.
    void Unbind(); ///< Makes no program current.
    /// Sets an int uniform of the bound program; a name it lacks ends the process.
    void SetUniformInt1(const std::string& name, int i);
    /// Sets a float uniform, as SetUniformInt1.
    void SetUniformFloat1(const std::string& name, float v0);
    /// Sets a vec2 uniform, as SetUniformInt1.
    void SetUniformFloat2(const std::string& name, float v0, float v1);
    /// Sets a vec3 uniform, as SetUniformInt1.
    void SetUniformFloat3(const std::string& name, float v0, float v1, float v2);
    /// Sets a vec4 uniform, as SetUniformInt1.
    void SetUniformFloat4(const std::string& name, float v0, float v1, float v2, float v3);
    /// Sets a mat4 uniform (column-major, as glm keeps it), as SetUniformInt1.
    void SetUniformMat4(const std::string& name, glm::mat4 mat);
    /// Compiles both stages and links them into a new program, returned.
    unsigned int CreateShader(const std::string& vert, const std::string& frag);

    /// A new program of the engine's own shader; needs a current GL context.
    static Ref<Shader> CreateDefault();
    /// A new program of the two stages, or null, with the compiler's or the
    /// linker's log in a warning, when a stage does not compile, the stages do
    /// not link or no GL context is current. Unlike the constructors, it
    /// leaves the current program current.
    static Ref<Shader> Create(const ShaderSources& sources, std::string name);

    unsigned int GetID() const { return m_id; }               ///< The GL program.
    const std::string& GetPath() const { return m_FilePath; } ///< Where it came from.

private:
    /// A name the program does not have is fatal. Found names are kept: the
    /// program is linked once, so its locations never change.
    int GetUniformLocation(const std::string& name);
    unsigned int CompileShader(unsigned int type, const std::string& source);

    unsigned int m_id = 0;
    std::string m_FilePath;
    std::unordered_map<std::string, int> m_locations;
    std::string m_failures; // the logs of stages that did not compile or link
};

} // namespace Engine
