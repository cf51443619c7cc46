// Work handed to the user-interface thread by other threads, shared by the application backends:
// a thread posts work and waits; the UI thread runs what is pending whenever it handles messages.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace Halcyra::Platform {

class TUiWorkQueue {
public:
    // wake is called, from the posting thread, after work was queued, to rouse the UI thread.
    explicit TUiWorkQueue(std::function<void()> wake);

    // Makes the calling thread the UI thread.
    void BindToCurrentThread();
    bool OnUiThread() const;

    // Runs work on the UI thread: at once when called there, otherwise queued, waiting until it ran.
    // False without running it when the queue is closed (the loop has ended) before it ran.
    bool RunOnUiThread(const std::function<void()> &work);
    // Runs everything queued; called on the UI thread. Work that raises counts as run (its poster goes
    // on); the error goes on to the caller, and what is still queued waits for the next call.
    void RunPending();
    // Refuses further work and releases every waiting thread; work not yet run is dropped.
    void Close();

private:
    struct TItem {
        const std::function<void()> *Work;
        bool Taken = false; // the UI thread has started it: the poster must wait for it to end
        bool Done = false;
    };

    std::function<void()> FWake;
    std::thread::id FUiThread;
    std::mutex FLock;
    std::condition_variable FFinished;
    std::deque<TItem *> FPending;
    bool FClosed = false;
};

} // namespace Halcyra::Platform
