// Linux backend of the settings hive: one text file per key under a root folder
// ($XDG_CONFIG_HOME, default ~/.config), readable and editable by a person, and replaced as a whole
// (temporary file, fsync, rename) under a lock of its folder, so that a crash never leaves a torn
// key behind and two writers never lose each other's values. A file that cannot be read is never
// written over: the error names it, and the line.
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
    // An empty root holds no keys.
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

// Where the key files live: $XDG_CONFIG_HOME when it is an absolute path, otherwise the home
// folder's .config ($HOME when absolute, else the user database's home); empty when there is no
// home, and then no key can be opened or created.
std::filesystem::path SettingsFolder();

// Reading and writing of the key file format, shared by the backend and its tests.
namespace KeyFileFormat {

// Largest key file read; a larger one is not a key file.
inline constexpr std::uintmax_t MaxFileSize = 1 << 20;

struct TEntry {
    std::string Name;
    TRegistryValue Value;
};

// A key file read: its values, or the number (from 1) of the first line that is none of a blank
// line, a ; comment, the [key] line and a "Name"=value line (a value the file format cannot hold
// included).
struct TParsed {
    std::vector<TEntry> Entries;
    std::size_t BadLine = 0;
};

// The text of a key file holding these values.
std::string Write(const std::string &keyPath, const std::vector<TEntry> &entries);
// Reads the text as a person may have edited it: a UTF-8 byte order mark, CRLF line ends, blanks
// around the line, around "=" and after the value, and a ; comment after the value are allowed.
// A text with no [key] line and nothing else but comments is a key without values.
TParsed Read(std::string_view text);

} // namespace KeyFileFormat

} // namespace Halcyra::Platform
