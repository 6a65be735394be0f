#include <engine/core/Engine.h>

#include "game/PreloadedContent.h"
#include "game/Scene.h"

int main(int, char**) {
    Engine::Engine engine(1280, 720);
    // Set before the window opens, so the files are read while it does.
    engine.SetScene(
        Engine::CreateRef<Engine::GameScene>(Engine::CreateUni<Engine::PreloadedContent>()));
    engine.InitializeGraphicsSubSystem();
    engine.Start();
    engine.MainGameLoop();
    engine.Shutdown();
    return 0;
}
