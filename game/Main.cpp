#include <engine/core/Engine.h>

#include "game/Scene.h"

int main(int, char**) {
    Engine::Engine engine(1280, 720);
    engine.SetScene(Engine::CreateRef<Engine::GameScene>());
    engine.InitializeGraphicsSubSystem();
    engine.Start();
    engine.MainGameLoop();
    engine.Shutdown();
    return 0;
}
