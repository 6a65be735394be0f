#include <engine/core/Engine.h>
#include <engine/core/HeapReserve.h>

#include "game/PreloadedContent.h"
#include "game/Scene.h"

int main(int, char**) {
    // What the GL driver takes for the shader, the glyph atlas and the first
    // draw is made ready while the window opens.
    Engine::HeapReserve reserve(24u << 20);
    Engine::Engine engine(1280, 720);
    // Set before the window opens, so the files are read while it does.
    engine.SetScene(
        Engine::CreateRef<Engine::GameScene>(Engine::CreateUni<Engine::PreloadedContent>()));
    engine.InitializeGraphicsSubSystem();
    reserve.Release();
    engine.Start();
    engine.MainGameLoop();
    engine.Shutdown();
    return 0;
}
