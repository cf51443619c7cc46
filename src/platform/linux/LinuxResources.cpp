// Linux backend of the module resources: a scan of the table linked in at build time.
#include "platform/Resources.h"
#include "platform/linux/LinuxEmbeddedResources.h"

#include <strings.h>

namespace Halcyra::Platform {
namespace {

// Resource names and types compare without regard to case, as on Windows.
bool SameName(const char *stored, std::string_view wanted)
{
    std::string_view storedView(stored);
    return storedView.size() == wanted.size() && strncasecmp(stored, wanted.data(), wanted.size()) == 0;
}

class TLinuxModuleResources final : public IModuleResources {
public:
    std::optional<std::span<const std::uint8_t>> Find(std::string_view type, std::string_view name) const override
    {
        for (const TEmbeddedResource *entry = EmbeddedResources; entry->Type != nullptr; ++entry) {
            if (SameName(entry->Type, type) && SameName(entry->Name, name))
                return std::span<const std::uint8_t>(entry->Begin, entry->End);
        }
        return std::nullopt;
    }
};

} // namespace

const IModuleResources &ModuleResources()
{
    static const TLinuxModuleResources resources;
    return resources;
}

} // namespace Halcyra::Platform
