// The real settings hive of the platform, set up for one test.
#include "support/TestRegistry.h"

#include <atomic>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/linux/FileRegistry.h"
#include <unistd.h>
#endif

namespace Halcyra::Testing {
namespace {

std::string UniqueName()
{
    static std::atomic<int> counter = 0;
#ifdef _WIN32
    const unsigned long process = GetCurrentProcessId();
#else
    const unsigned long process = static_cast<unsigned long>(getpid());
#endif
    return "Halcyra Test " + std::to_string(process) + "-" + std::to_string(++counter);
}

} // namespace

struct TTestRegistry::TState {
#ifndef _WIN32
    std::filesystem::path Root;
    std::unique_ptr<Platform::TFileRegistry> Files;
#endif
};

TTestRegistry::TTestRegistry() : FBrandName(UniqueName()), FState(std::make_unique<TState>())
{
#ifndef _WIN32
    FState->Root = std::filesystem::temp_directory_path() / FBrandName;
    std::filesystem::remove_all(FState->Root);
    FState->Files = std::make_unique<Platform::TFileRegistry>(FState->Root);
#endif
}

TTestRegistry::~TTestRegistry()
{
#ifdef _WIN32
    for (const auto &product : FProducts)
        Registry().DeleteKey("SOFTWARE\\" + FBrandName + "\\" + product);
    Registry().DeleteKey("SOFTWARE\\" + FBrandName);
#else
    std::error_code error;
    std::filesystem::remove_all(FState->Root, error);
#endif
}

Platform::IRegistry &TTestRegistry::Registry()
{
#ifdef _WIN32
    return Platform::UserRegistry();
#else
    return *FState->Files;
#endif
}

} // namespace Halcyra::Testing
