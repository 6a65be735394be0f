#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace Engine {

enum class ShaderDataType : uint8_t {
    None = 0,
    Float,
    Float2,
    Float3,
    Float4,
    Mat3,
    Mat4,
    Int,
    Int2,
    Int3,
    Int4,
    Bool
};

static constexpr uint32_t F_SIZE = 4;
static constexpr uint32_t I_SIZE = 4;
static constexpr uint32_t B_SIZE = 1;

// Bytes one attribute of the type occupies; 0 for None or an unknown value.
uint32_t ShaderDataTypeSize(ShaderDataType type);

struct BufferElement {
    std::string name;
    ShaderDataType type;
    uint32_t offset;
    uint32_t size;
    bool normalized;

    BufferElement(ShaderDataType type, const std::string& name, bool norm = false);

    // 0, with a warning, for None or an unknown value.
    uint32_t GetComponentCount() const;
};

// Attributes packed one after another with no padding.
class BufferLayout {
public:
    BufferLayout() = default;
    BufferLayout(std::initializer_list<BufferElement> elements);

    const std::vector<BufferElement>& GetElements() const { return m_Elements; }
    uint32_t GetStride() const { return m_Stride; }

    std::vector<BufferElement>::iterator begin() { return m_Elements.begin(); }
    std::vector<BufferElement>::iterator end() { return m_Elements.end(); }
    std::vector<BufferElement>::const_iterator begin() const { return m_Elements.begin(); }
    std::vector<BufferElement>::const_iterator end() const { return m_Elements.end(); }

private:
    void CalculateOffsetsAndStride();

    std::vector<BufferElement> m_Elements;
    uint32_t m_Stride = 0;
};

class VertexBuffer {
public:
    virtual ~VertexBuffer() = default;
    virtual void Bind() = 0;
    virtual void Unbind() = 0;
    virtual void SetLayout(const BufferLayout& layout) = 0;
    virtual const BufferLayout& GetLayout() const = 0;
    // size in bytes; replaces the whole store.
    virtual void Load(float* verts, size_t size) = 0;
};

class IndexBuffer {
public:
    virtual ~IndexBuffer() = default;
    virtual void Bind() = 0;
    virtual void Unbind() = 0;
    // size in bytes; replaces the whole store.
    virtual void Load(unsigned int* inds, size_t size) = 0;
};

} // namespace Engine
