// Linux backend of run-time libraries: dlopen and dlsym.
#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

namespace Halcyra::Platform {
namespace {

class TLinuxLibrary final : public IDynamicLibrary {
public:
    explicit TLinuxLibrary(void *handle) : FHandle(handle) {}
    ~TLinuxLibrary() override { dlclose(FHandle); }

    void *Symbol(const std::string &name) override { return dlsym(FHandle, name.c_str()); }

private:
    void *FHandle;
};

class TLinuxLibraryLoader final : public ILibraryLoader {
public:
    std::unique_ptr<IDynamicLibrary> Load(const std::string &fileName) override
    {
        void *handle = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr)
            return nullptr;
        return std::make_unique<TLinuxLibrary>(handle);
    }
};

} // namespace

ILibraryLoader &SystemLibraries()
{
    static TLinuxLibraryLoader loader;
    return loader;
}

} // namespace Halcyra::Platform
