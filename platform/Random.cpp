#include "platform/Random.h"

#include <atomic>
#include <cstdlib>

namespace {

class CRuntimeRandom : public IRandom {
public:
    void Seed(unsigned nSeed) override { std::srand(nSeed); }
    int Next() override { return std::rand(); }
};

std::atomic<IRandom*> g_pRandom{nullptr};

}  // namespace

IRandom& Random()
{
    if (IRandom* pRandom = g_pRandom.load())
        return *pRandom;
    // Never destroyed, like every global of the platform.
    static auto* s_pRuntime = new CRuntimeRandom;
    return *s_pRuntime;
}

void SetRandom(IRandom* pRandom) { g_pRandom.store(pRandom); }
