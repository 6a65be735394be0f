#include <sstream>
#include <string>

#include <engine/render/Shader.h>

#include "FuzzTargets.h"

using namespace Engine;

namespace EngineFuzz {

namespace {

// A stage is whole lines, each ended by a newline, none of them a directive.
void CheckStage(const std::string& stage) {
    FUZZ_CHECK(stage.empty() || stage.back() == '\n');
    FUZZ_CHECK(stage.find("#shader") == std::string::npos);
}

} // namespace

int FuzzShader(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::istringstream in(text);
    const ShaderSources sources = SplitShaderSource(in);
    CheckStage(sources.vertex);
    CheckStage(sources.fragment);
    // Nothing is invented: at most the input plus a newline for an unended last line.
    FUZZ_CHECK(sources.vertex.size() + sources.fragment.size() <= size + 1);
    // Without a directive nothing belongs to a stage.
    if (text.find("#shader") == std::string::npos)
        FUZZ_CHECK(sources.vertex.empty() && sources.fragment.empty());
    return 0;
}

} // namespace EngineFuzz
