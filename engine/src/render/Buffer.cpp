#include <engine/render/Buffer.h>

#include <engine/core/Log.h>
#include <engine/core/Renderer.h>
#include <engine/render/BufferUtil.h>

#include "core/GLUtil.h"
#include "render/GLBuffer.h"

namespace Engine {

uint32_t ShaderDataTypeSize(ShaderDataType type) {
    switch (type) {
    case ShaderDataType::Float:
        return F_SIZE;
    case ShaderDataType::Float2:
        return 2 * F_SIZE;
    case ShaderDataType::Float3:
        return 3 * F_SIZE;
    case ShaderDataType::Float4:
        return 4 * F_SIZE;
    case ShaderDataType::Mat3:
        return 3 * 3 * F_SIZE;
    case ShaderDataType::Mat4:
        return 4 * 4 * F_SIZE;
    case ShaderDataType::Int:
        return I_SIZE;
    case ShaderDataType::Int2:
        return 2 * I_SIZE;
    case ShaderDataType::Int3:
        return 3 * I_SIZE;
    case ShaderDataType::Int4:
        return 4 * I_SIZE;
    case ShaderDataType::Bool:
        return B_SIZE;
    default:
        return 0;
    }
}

BufferElement::BufferElement(ShaderDataType type, const std::string& name, bool norm)
    : name(name), type(type), offset(0), size(ShaderDataTypeSize(type)), normalized(norm) {}

uint32_t BufferElement::GetComponentCount() const {
    switch (type) {
    case ShaderDataType::Float:
        return 1;
    case ShaderDataType::Float2:
        return 2;
    case ShaderDataType::Float3:
        return 3;
    case ShaderDataType::Float4:
        return 4;
    case ShaderDataType::Mat3:
        return 3 * 3;
    case ShaderDataType::Mat4:
        return 4 * 4;
    case ShaderDataType::Int:
        return 1;
    case ShaderDataType::Int2:
        return 2;
    case ShaderDataType::Int3:
        return 3;
    case ShaderDataType::Int4:
        return 4;
    case ShaderDataType::Bool:
        return 1;
    default:
        Log::Warn("BUFFER ELEMENTS", "Unknown ShaderDataType");
        return 0;
    }
}

BufferLayout::BufferLayout(std::initializer_list<BufferElement> elements) : m_Elements(elements) {
    CalculateOffsetsAndStride();
}

void BufferLayout::CalculateOffsetsAndStride() {
    uint32_t offset = 0;
    m_Stride = 0;
    for (BufferElement& element : m_Elements) {
        element.offset = offset;
        offset += element.size;
        m_Stride += element.size;
    }
}

GLVertexBuffer::GLVertexBuffer() {
    GLCall(glGenBuffers(1, &m_id));
    GLCall(glBindBuffer(GL_ARRAY_BUFFER, m_id));
}

GLVertexBuffer::~GLVertexBuffer() {
    if (m_id && GLContextCurrent())
        GLCall(glDeleteBuffers(1, &m_id));
}

void GLVertexBuffer::Bind() {
    GLCall(glBindBuffer(GL_ARRAY_BUFFER, m_id));
}

void GLVertexBuffer::Unbind() {
    GLCall(glBindBuffer(GL_ARRAY_BUFFER, 0));
}

void GLVertexBuffer::Load(float* verts, size_t size) {
    m_size = size;
    // Bound first so the data cannot land in whichever array buffer was bound last.
    GLCall(glBindBuffer(GL_ARRAY_BUFFER, m_id));
    GLCall(glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(size), verts, GL_STATIC_DRAW));
}

GLIndexBuffer::GLIndexBuffer() {
    GLCall(glGenBuffers(1, &m_id));
    GLCall(glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m_id));
}

GLIndexBuffer::~GLIndexBuffer() {
    if (m_id && GLContextCurrent())
        GLCall(glDeleteBuffers(1, &m_id));
}

void GLIndexBuffer::Bind() {
    GLCall(glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m_id));
}

void GLIndexBuffer::Unbind() {
    GLCall(glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0));
}

void GLIndexBuffer::Load(unsigned int* inds, size_t size) {
    m_size = size;
    GLCall(glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m_id));
    GLCall(
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(size), inds, GL_STATIC_DRAW));
}

namespace BufferUtil {

Ref<VertexBuffer> createVertexBuffer() {
    if (Renderer::GetAPI() == Renderer::API::OpenGL)
        return CreateRef<GLVertexBuffer>();
    return nullptr;
}

Ref<IndexBuffer> createIndexBuffer() {
    if (Renderer::GetAPI() == Renderer::API::OpenGL)
        return CreateRef<GLIndexBuffer>();
    return nullptr;
}

} // namespace BufferUtil

} // namespace Engine
