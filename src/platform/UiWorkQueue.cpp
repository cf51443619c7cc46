// Work handed to the user-interface thread by other threads.
#include "platform/UiWorkQueue.h"

#include <algorithm>

namespace Halcyra::Platform {

TUiWorkQueue::TUiWorkQueue(std::function<void()> wake) : FWake(std::move(wake)), FUiThread(std::this_thread::get_id())
{
}

void TUiWorkQueue::BindToCurrentThread()
{
    std::lock_guard guard(FLock);
    FUiThread = std::this_thread::get_id();
    FClosed = false;
}

bool TUiWorkQueue::OnUiThread() const
{
    return std::this_thread::get_id() == FUiThread;
}

bool TUiWorkQueue::RunOnUiThread(const std::function<void()> &work)
{
    if (OnUiThread()) {
        work();
        return true;
    }
    TItem item{&work};
    std::unique_lock guard(FLock);
    if (FClosed)
        return false;
    FPending.push_back(&item);
    guard.unlock();
    if (FWake)
        FWake();
    guard.lock();
    FFinished.wait(guard, [&] { return item.Done || (FClosed && !item.Taken); });
    if (!item.Done) {
        FPending.erase(std::remove(FPending.begin(), FPending.end(), &item), FPending.end());
        return false;
    }
    return true;
}

void TUiWorkQueue::RunPending()
{
    std::unique_lock guard(FLock);
    while (!FPending.empty()) {
        TItem *item = FPending.front();
        FPending.pop_front();
        item->Taken = true;
        guard.unlock();
        // Work that raises is done all the same: its poster goes on, and the error goes on to whoever
        // handles this thread's messages.
        struct TDoneGuard {
            TUiWorkQueue &Queue;
            std::unique_lock<std::mutex> &Guard;
            TItem &Item;
            ~TDoneGuard()
            {
                Guard.lock();
                Item.Done = true;
                Queue.FFinished.notify_all();
            }
        } done{*this, guard, *item};
        (*item->Work)();
    }
}

void TUiWorkQueue::Close()
{
    std::lock_guard guard(FLock);
    FClosed = true;
    FFinished.notify_all();
}

} // namespace Halcyra::Platform
