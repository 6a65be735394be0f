#include "Engine.h"

int main(int, char**) {
    Engine::Engine engine(1280, 720);
    engine.InitializeGraphicsSubSystem();
    engine.Start();
    engine.MainGameLoop();
    engine.Shutdown();
    return 0;
}
