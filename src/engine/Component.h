// What the maker's components share: a class name, notify events whose sender is the component,
// and the text of the last failure, which components keep instead of raising errors.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace Halcyra {

class TComponent {
public:
    virtual ~TComponent() = default;
    // The component's class name ("TQss", "TQIM", "TQGC"...).
    virtual std::string_view ClassName() const = 0;
};

// A notify event: the handler receives the component that fired it.
using TNotifyEvent = std::function<void(TComponent &sender)>;

// A failure text written on one thread (a frame on the timer thread) and read on another.
class TErrorText {
public:
    void Set(std::string text)
    {
        std::lock_guard lock(FMutex);
        FText = std::move(text);
    }
    std::string Get() const
    {
        std::lock_guard lock(FMutex);
        return FText;
    }

private:
    mutable std::mutex FMutex;
    std::string FText;
};

} // namespace Halcyra
