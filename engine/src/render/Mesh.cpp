#include <engine/render/Mesh.h>

#include <engine/render/Buffer.h>
#include <engine/render/BufferUtil.h>
#include <engine/render/Shader.h>

#include "core/GLUtil.h"
#include "render/DrawBatch.h"

namespace Engine {

Ref<VertexBuffer> Mesh::vbo;
Ref<IndexBuffer> Mesh::ibo;

void Mesh::InitQuad() {
    // Model (0, 0) is the top-left corner on screen and carries v = 1, the top
    // row of the (flipped) image, so sprites come out upright.
    float vertices[] = {
        0.0f, 0.0f, 0.0f, 0.0f, 1.0f, //
        1.0f, 0.0f, 0.0f, 1.0f, 1.0f, //
        1.0f, 1.0f, 0.0f, 1.0f, 0.0f, //
        0.0f, 1.0f, 0.0f, 0.0f, 0.0f, //
    };
    unsigned int indices[] = {0, 3, 1, 1, 3, 2};

    vbo = BufferUtil::createVertexBuffer();
    ibo = BufferUtil::createIndexBuffer();
    if (!vbo || !ibo)
        return;
    vbo->Load(vertices, sizeof vertices);
    vbo->SetLayout({{ShaderDataType::Float3, "a_Position", false},
                    {ShaderDataType::Float2, "a_TexCoord", false}});
    ibo->Load(indices, sizeof indices);
}

void Mesh::ReleaseQuad() {
    vbo.reset();
    ibo.reset();
    DrawBatch::Release();
}

Mesh Mesh::CreateMesh(Ref<Texture> texRef) {
    Mesh mesh;
    mesh.tex = std::move(texRef);
    return mesh;
}

void Mesh::DrawQuad(const Ref<Shader>& shader, const glm::mat4& model, const Texture& region) {
    DrawBatch::BeforeSharedQuad();
    shader->SetUniformMat4("u_Transform", model);
    shader->SetUniformFloat2("u_texPos", region.getInternalX(), region.getInternalY());
    shader->SetUniformFloat2("u_texScale", region.getInternalWidth(), region.getInternalHeight());
    GLCall(glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_INT, nullptr));
}

void Mesh::Render(const Ref<Shader>& shader, glm::mat4 model) {
    // A texture without a GL image (one that failed to load) binds nothing;
    // drawing anyway would show whatever the last draw left bound.
    if (!tex || tex->getID() == 0)
        return;
    tex->Bind(0);
    DrawQuad(shader, model, *tex);
}

} // namespace Engine
