// An application that runs no real loop: it records what the code under test asked of it (title,
// windows, message boxes, cursor) and runs work handed to the UI thread at once or when messages
// are processed.
#pragma once

#include "platform/Application.h"

#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace Halcyra::Testing {

struct TShownMessageBox {
    Platform::TWindowHandle Owner = 0;
    std::string Text;
    std::string Caption;
    Platform::TMessageBoxIcon Icon = Platform::TMessageBoxIcon::NoIcon;
};

class TFakeApplication final : public Platform::IApplication {
public:
    void Initialize() override { ++InitializeCount; }
    void SetTitle(const std::string &title) override { Title = title; }
    std::string GetTitle() const override { return Title.empty() ? "HalcyraScreensaver" : Title; }

    Platform::TWindowHandle CreateMainWindow(Platform::TMainWindowKind kind, const Platform::TWindowEvents &events) override
    {
        WindowKinds.push_back(kind);
        Events = events;
        return CanCreateWindows ? 0x1234 : 0;
    }
    void CloseMainWindow() override
    {
        ++CloseCount;
        Note("Close");
    }
    void SetMainWindowVisible(bool visible) override { Note(visible ? "Show" : "Hide"); }
    void SetMainWindowBorderStyle(Platform::TBorderStyle style) override
    {
        Note(style == Platform::TBorderStyle::Sizeable ? "BorderSizeable" : "BorderNone");
    }
    void SetMainWindowSize(int width, int height) override { Note("Size " + std::to_string(width) + "x" + std::to_string(height)); }
    void Run() override { ++RunCount; }

    // Runs what other threads handed over, then what a test queued as "pending messages".
    void ProcessMessages() override
    {
        ++ProcessMessagesCount;
        if (OnProcessMessages)
            OnProcessMessages();
    }

    // Runs the work at once on the calling thread, serialised, as the UI thread would.
    bool Synchronize(const std::function<void()> &work) override
    {
        std::lock_guard guard(FLock);
        if (LoopEnded)
            return false;
        work();
        return true;
    }

    int ShowCursor(bool show) override
    {
        Note(show ? "ShowCursor" : "HideCursor");
        return CursorCount += show ? 1 : -1;
    }

    void ShowMessageBox(Platform::TWindowHandle owner, const std::string &text, const std::string &caption,
                        Platform::TMessageBoxIcon icon) override
    {
        MessageBoxes.push_back({owner, text, caption, icon});
    }

    std::string Title;
    int InitializeCount = 0;
    int RunCount = 0;
    int CloseCount = 0;
    int ProcessMessagesCount = 0;
    int CursorCount = 0;
    bool LoopEnded = false;
    bool CanCreateWindows = true;
    std::function<void()> OnProcessMessages;
    std::vector<Platform::TMainWindowKind> WindowKinds;
    Platform::TWindowEvents Events;
    std::vector<TShownMessageBox> MessageBoxes;
    // Where the window and cursor calls are noted in order, when a test gives one.
    std::vector<std::string> *Journal = nullptr;

private:
    void Note(const std::string &entry)
    {
        if (Journal != nullptr)
            Journal->push_back(entry);
    }

    std::mutex FLock;
};

} // namespace Halcyra::Testing
