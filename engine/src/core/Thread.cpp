#include <engine/core/Thread.h>

#include <sys/resource.h>
#include <unistd.h>

namespace Engine {

void LowerThreadPriority() {
    constexpr int HELPER_NICENESS = 10;
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), HELPER_NICENESS);
}

} // namespace Engine
