// Module resources: the pictures, the sound, the preview bitmap and the data tables linked into the
// program, found by type and name.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace Halcyra::Platform {

// Resource types the system uses; any other type is given by its name ("WAVE").
inline constexpr std::string_view ResourceTypeBitmap = "BITMAP";
inline constexpr std::string_view ResourceTypeData = "RCDATA";

class IModuleResources {
public:
    virtual ~IModuleResources() = default;

    // The bytes of a resource, read-only and valid for the life of the program; nullopt when the
    // module has no such resource. A BITMAP resource is a DIB without its file header.
    virtual std::optional<std::span<const std::uint8_t>> Find(std::string_view type, std::string_view name) const = 0;
};

// The resources of the running module.
const IModuleResources &ModuleResources();

} // namespace Halcyra::Platform
