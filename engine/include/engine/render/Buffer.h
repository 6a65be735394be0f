#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace Engine {

/// Types of vertex attributes.
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

static constexpr uint32_t F_SIZE = 4; ///< Bytes of a float attribute component.
static constexpr uint32_t I_SIZE = 4; ///< Bytes of an int attribute component.
static constexpr uint32_t B_SIZE = 1; ///< Bytes of a bool attribute.

/// Bytes one attribute of the type occupies; 0 for None or an unknown value.
uint32_t ShaderDataTypeSize(ShaderDataType type);

/// One vertex attribute of a layout.
struct BufferElement {
    std::string name;    ///< For reading only; attributes go by index.
    ShaderDataType type; ///< Its type.
    uint32_t offset;     ///< Bytes from the vertex's start; set by the layout.
    uint32_t size;       ///< Bytes it takes.
    bool normalized;     ///< Recorded; the renderer never normalises.

    /// An attribute of the type; offset 0 until a layout places it.
    BufferElement(ShaderDataType type, const std::string& name, bool norm = false);

    /// 0, with a warning, for None or an unknown value.
    uint32_t GetComponentCount() const;
};

/// Attributes packed one after another with no padding.
class BufferLayout {
public:
    BufferLayout() = default;
    /// The elements in order, their offsets and the stride computed.
    BufferLayout(std::initializer_list<BufferElement> elements);

    /// The elements with their offsets.
    const std::vector<BufferElement>& GetElements() const { return m_Elements; }
    uint32_t GetStride() const { return m_Stride; } ///< Bytes per vertex.

    /// The elements, in order.
    std::vector<BufferElement>::iterator begin() { return m_Elements.begin(); }
    std::vector<BufferElement>::iterator end() { return m_Elements.end(); } ///< Past the last.
    /// The elements, in order.
    std::vector<BufferElement>::const_iterator begin() const { return m_Elements.begin(); }
    /// Past the last element.
    std::vector<BufferElement>::const_iterator end() const { return m_Elements.end(); }

private:
    void CalculateOffsetsAndStride();

    std::vector<BufferElement> m_Elements;
    uint32_t m_Stride = 0;
};

/// A GPU buffer of vertices with their layout (BufferUtil makes one).
class VertexBuffer {
public:
    virtual ~VertexBuffer() = default;                      ///< Deletes the GPU buffer.
    virtual void Bind() = 0;                                ///< Binds it as the array buffer.
    virtual void Unbind() = 0;                              ///< Binds none.
    virtual void SetLayout(const BufferLayout& layout) = 0; ///< How a vertex is made up.
    virtual const BufferLayout& GetLayout() const = 0;      ///< The layout set.
    /// size in bytes; replaces the whole store.
    virtual void Load(float* verts, size_t size) = 0;
};

/// A GPU buffer of 32-bit vertex indices (BufferUtil makes one).
class IndexBuffer {
public:
    virtual ~IndexBuffer() = default; ///< Deletes the GPU buffer.
    virtual void Bind() = 0;          ///< Binds it as the element buffer.
    virtual void Unbind() = 0;        ///< Binds none.
    /// size in bytes; replaces the whole store.
    virtual void Load(unsigned int* inds, size_t size) = 0;
};

} // namespace Engine
