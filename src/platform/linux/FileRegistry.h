// Linux backend of the settings hive: one text file per key under a root folder
// ($XDG_CONFIG_HOME, default ~/.config), readable and editable by a person, and replaced as a whole
// (temporary file, fsync, rename) so that a crash never leaves a torn key behind.
#pragma once

#include "platform/Registry.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>
#include <functional>

namespace Halcyra::Platform {

class TFileRegistry final : public IRegistry {
public:
    explicit TFileRegistry(std::filesystem::path root);

    std::unique_ptr<IRegistryKey> OpenKey(const std::string &path) override;
    std::unique_ptr<IRegistryKey> CreateKey(const std::string &path) override;
    bool DeleteKey(const std::string &path) override;

    // The file that holds a key's values: "SOFTWARE\Maker\Product" is <root>/Maker/Product.reg.
    // Empty when the path names no key.
    std::filesystem::path KeyFile(const std::string &path) const;

    // Called after a new key file has been written and synced, just before it replaces the old one.
    // Tests use it to stop the process at the worst moment.
    std::function<void()> BeforeReplace;

private:
    std::filesystem::path FRoot;
};

// Reading and writing of the key file format, shared by the backend and its tests.
namespace KeyFileFormat {

// Largest key file read; a larger one is not a key file.
inline constexpr std::uintmax_t MaxFileSize = 1 << 20;

struct TEntry {
    std::string Name;
    TRegistryValue Value;
};

// The text of a key file holding these values.
std::string Write(const std::string &keyPath, const std::vector<TEntry> &entries);
// The values of a key file; nullopt when the text is not a key file. Lines that cannot be read are
// skipped; a value whose data cannot be read is kept with the type Other and its data text (and a
// zero byte) as bytes, so the store reports it as a value of the wrong type.
std::optional<std::vector<TEntry>> Read(const std::string &text);

} // namespace KeyFileFormat

} // namespace Halcyra::Platform
