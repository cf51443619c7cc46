// Windows backend of run-time libraries: LoadLibraryA and GetProcAddress.
#include "platform/DynamicLibrary.h"

#include <windows.h>

namespace Halcyra::Platform {
namespace {

class TWin32Library final : public IDynamicLibrary {
public:
    explicit TWin32Library(HMODULE module) : FModule(module) {}
    ~TWin32Library() override { FreeLibrary(FModule); }

    void *Symbol(const std::string &name) override
    {
        return reinterpret_cast<void *>(GetProcAddress(FModule, name.c_str()));
    }

private:
    HMODULE FModule;
};

class TWin32LibraryLoader final : public ILibraryLoader {
public:
    std::unique_ptr<IDynamicLibrary> Load(const std::string &fileName) override
    {
        HMODULE module = LoadLibraryA(fileName.c_str());
        if (module == nullptr)
            return nullptr;
        return std::make_unique<TWin32Library>(module);
    }
};

} // namespace

ILibraryLoader &SystemLibraries()
{
    static TWin32LibraryLoader loader;
    return loader;
}

} // namespace Halcyra::Platform
