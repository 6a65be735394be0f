#include "core/FTCheck.h"

#include <string>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <engine/core/Log.h>

namespace Engine {

namespace {

// FreeType's own error texts, taken from its header: the library may be built
// without them, and FT_Error_String then returns null.
const char* FTErrorTable(int code) {
#undef FTERRORS_H_
#define FT_ERROR_START_LIST switch (code) {
#define FT_ERRORDEF(e, v, s)                                                                       \
    case v:                                                                                        \
        return s;
#define FT_ERROR_END_LIST }
#include FT_ERRORS_H
    return nullptr;
}

std::string FTErrorString(int err) {
    if (const char* s = FT_Error_String(err))
        return s;
    if (const char* s = FTErrorTable(FT_ERROR_BASE(err)))
        return s;
    return "FreeType error " + std::to_string(err);
}

} // namespace

bool FTLogCall(int err, const char* call, const char* file, int line) {
    if (err == 0)
        return true;
    Log::Log("FT ERROR", "\"%s\" in function %s %s:%s", FTErrorString(err).c_str(), call, file,
             std::to_string(line).c_str());
    return false;
}

} // namespace Engine
