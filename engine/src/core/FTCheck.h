#pragma once

namespace Engine {

// The FreeType check: logs a non-zero result as an "FT ERROR" line naming the
// error, the call, the file and the line. True when err is 0.
bool FTLogCall(int err, const char* call, const char* file, int line);

} // namespace Engine

#define FTCall(call) ::Engine::FTLogCall((call), #call, __FILE__, __LINE__)
