#pragma once

#include <engine/render/Buffer.h>

namespace Engine {

// Owns one GL buffer name; a new buffer is left bound to its target.
class GLVertexBuffer : public VertexBuffer {
public:
    GLVertexBuffer();
    GLVertexBuffer(const GLVertexBuffer&) = delete;
    GLVertexBuffer& operator=(const GLVertexBuffer&) = delete;
    ~GLVertexBuffer() override;

    void Bind() override;
    void Unbind() override;
    void SetLayout(const BufferLayout& layout) override { m_Layout = layout; }
    const BufferLayout& GetLayout() const override { return m_Layout; }
    void Load(float* verts, size_t size) override;

    size_t Size() const { return m_size; }
    unsigned int GetID() const { return m_id; }

private:
    unsigned int m_id = 0;
    size_t m_size = 0;
    BufferLayout m_Layout;
};

class GLIndexBuffer : public IndexBuffer {
public:
    GLIndexBuffer();
    GLIndexBuffer(const GLIndexBuffer&) = delete;
    GLIndexBuffer& operator=(const GLIndexBuffer&) = delete;
    ~GLIndexBuffer() override;

    void Bind() override;
    void Unbind() override;
    void Load(unsigned int* inds, size_t size) override;

    size_t Size() const { return m_size; }
    unsigned int GetID() const { return m_id; }

private:
    unsigned int m_id = 0;
    size_t m_size = 0;
};

} // namespace Engine
