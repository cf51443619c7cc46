// The bursts of the scene: after a random wait one of three ten-frame strips plays frames 0 to 8 on
// consecutive ticks, never the same strip twice in a row; between bursts none is drawn. Short waits
// (5 to 34 ticks) are likelier than long ones (100 to 499).
#pragma once

#include "scene/RuntimeRandom.h"

#include <cstdint>
#include <optional>

namespace Halcyra {

struct TBurstFrame {
    int Strip = 0; // 0 to 2
    int Frame = 0; // 0 to 8
};

class TBurstScheduler {
public:
    static constexpr int StripCount = 3;

    // The state at the scene's start: waiting 1 to 30 ticks, a random strip picked as the last.
    void Start(TRuntimeRandom &random);
    // One tick: the strip and frame to draw, or none between bursts.
    std::optional<TBurstFrame> Tick(TRuntimeRandom &random);

    bool FBurstOn = false;
    std::int32_t FBurstWait = 1;
    std::int32_t FBurstIdle = 0;
    std::int32_t FBurstLength = 8;
    std::int32_t FBurstFrame = 0;
    std::int32_t FBurstPick = 0;
};

} // namespace Halcyra
