// The burst scheduler's waiting and playing.
#include "scene/BurstScheduler.h"

namespace Halcyra {

void TBurstScheduler::Start(TRuntimeRandom &random)
{
    FBurstWait = random.Random(30) + 1;
    FBurstPick = random.Random(StripCount);
    FBurstOn = false;
    FBurstIdle = 0;
    FBurstFrame = 0;
    FBurstLength = 8;
}

std::optional<TBurstFrame> TBurstScheduler::Tick(TRuntimeRandom &random)
{
    if (FBurstOn) {
        ++FBurstFrame;
        if (FBurstFrame > FBurstLength) {
            FBurstOn = false;
            FBurstIdle = 0;
            FBurstFrame = 0;
            FBurstWait = random.Random(100) > 30 ? random.Random(30) + 5 : random.Random(400) + 100;
        }
    } else {
        ++FBurstIdle;
        if (FBurstIdle > FBurstWait) {
            FBurstOn = true;
            FBurstIdle = 0;
            FBurstFrame = 0;
            int pick = FBurstPick;
            while (pick == FBurstPick)
                pick = random.Random(StripCount);
            FBurstPick = pick;
            FBurstLength = 8;
        }
    }
    if (!FBurstOn)
        return std::nullopt;
    return TBurstFrame{FBurstPick, FBurstFrame};
}

} // namespace Halcyra
