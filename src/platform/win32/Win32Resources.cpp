// Windows backend of the module resources: FindResource on the running module.
#include "platform/Resources.h"

#include <windows.h>

#include <string>

namespace Halcyra::Platform {
namespace {

class TWin32ModuleResources final : public IModuleResources {
public:
    std::optional<std::span<const std::uint8_t>> Find(std::string_view type, std::string_view name) const override
    {
        const std::string nameText(name);
        const std::string typeText(type);
        LPCSTR resourceType = typeText.c_str();
        if (type == ResourceTypeBitmap)
            resourceType = MAKEINTRESOURCEA(2); // RT_BITMAP
        else if (type == ResourceTypeData)
            resourceType = MAKEINTRESOURCEA(10); // RT_RCDATA
        HMODULE module = GetModuleHandleA(nullptr);
        HRSRC info = FindResourceA(module, nameText.c_str(), resourceType);
        if (info == nullptr)
            return std::nullopt;
        HGLOBAL loaded = LoadResource(module, info);
        const void *bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
        if (bytes == nullptr)
            return std::nullopt;
        return std::span<const std::uint8_t>(static_cast<const std::uint8_t *>(bytes), SizeofResource(module, info));
    }
};

} // namespace

const IModuleResources &ModuleResources()
{
    static const TWin32ModuleResources resources;
    return resources;
}

} // namespace Halcyra::Platform
