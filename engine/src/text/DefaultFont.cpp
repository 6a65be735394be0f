// The engine's own font, its file's bytes built into the library, so that text
// needs no file of the program's own. This file is an object of its own:
// only programs that draw with the font carry it.

#include <engine/text/Font.h>

#include "core/GLUtil.h"
#include "render/DrawBatch.h"

// KEEL_DEFAULT_FONT_FILE: the font's path, given by the build.
asm(".pushsection .rodata.keel_default_font, \"a\", @progbits\n"
    ".balign 16\n"
    ".hidden keel_default_font\n"
    ".globl keel_default_font\n"
    "keel_default_font:\n"
    ".incbin \"" KEEL_DEFAULT_FONT_FILE "\"\n"
    ".hidden keel_default_font_end\n"
    ".globl keel_default_font_end\n"
    "keel_default_font_end:\n"
    ".popsection\n");

extern "C" const unsigned char keel_default_font[];
extern "C" const unsigned char keel_default_font_end[];

namespace Engine {

namespace {

Font* s_default = nullptr;

void Drop() {
    delete s_default;
    s_default = nullptr;
}

} // namespace

const Font& Font::Default() {
    static const Font none;
    if (s_default)
        return *s_default;
    if (!GLContextCurrent())
        return none;
    InitFont();
    s_default = new Font(loadFontFromMemory(
        keel_default_font, static_cast<size_t>(keel_default_font_end - keel_default_font)));
    // Its atlas belongs to this context: it goes with the context's other
    // shared objects and is made again in the next one.
    DrawBatch::AtRelease(Drop);
    return *s_default;
}

} // namespace Engine
