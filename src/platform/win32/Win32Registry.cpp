// Windows backend of the settings hive: the registry of the current user.
#include "platform/Registry.h"

#include <windows.h>

namespace Halcyra::Platform {
namespace {

// Largest value read; the settings are short texts and numbers.
constexpr DWORD MaxValueSize = 1 << 20;

struct TKeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using TKeyHandle = std::unique_ptr<std::remove_pointer_t<HKEY>, TKeyCloser>;

TRegistryValueType TypeOf(DWORD type)
{
    switch (type) {
    case REG_SZ: return TRegistryValueType::Text;
    case REG_EXPAND_SZ: return TRegistryValueType::ExpandedText;
    case REG_DWORD: return TRegistryValueType::Integer;
    case REG_BINARY: return TRegistryValueType::Binary;
    default: return TRegistryValueType::Other;
    }
}

DWORD NativeType(TRegistryValueType type)
{
    switch (type) {
    case TRegistryValueType::Text: return REG_SZ;
    case TRegistryValueType::ExpandedText: return REG_EXPAND_SZ;
    case TRegistryValueType::Integer: return REG_DWORD;
    case TRegistryValueType::Binary: return REG_BINARY;
    case TRegistryValueType::Other: break;
    }
    return REG_NONE;
}

class TWin32RegistryKey final : public IRegistryKey {
public:
    explicit TWin32RegistryKey(TKeyHandle key) : FKey(std::move(key)) {}

    std::optional<TRegistryValue> ReadValue(const std::string &name) override
    {
        DWORD type = REG_NONE;
        DWORD size = 0;
        if (RegQueryValueExA(FKey.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS || size > MaxValueSize)
            return std::nullopt;
        std::string data(size, '\0');
        if (RegQueryValueExA(FKey.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE *>(data.data()), &size) != ERROR_SUCCESS)
            return std::nullopt;
        data.resize(size);
        return TRegistryValue{TypeOf(type), std::move(data)};
    }

    bool WriteValue(const std::string &name, const TRegistryValue &value) override
    {
        return RegSetValueExA(FKey.get(), name.c_str(), 0, NativeType(value.Type),
                              reinterpret_cast<const BYTE *>(value.Data.data()), static_cast<DWORD>(value.Data.size())) == ERROR_SUCCESS;
    }

    bool DeleteValue(const std::string &name) override
    {
        return RegDeleteValueA(FKey.get(), name.c_str()) == ERROR_SUCCESS;
    }

    std::vector<std::string> ValueNames() override
    {
        std::vector<std::string> names;
        for (DWORD index = 0;; ++index) {
            char name[16384];
            DWORD length = sizeof name;
            if (RegEnumValueA(FKey.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            names.emplace_back(name, length);
        }
        return names;
    }

private:
    TKeyHandle FKey;
};

class TWin32Registry final : public IRegistry {
public:
    std::unique_ptr<IRegistryKey> OpenKey(const std::string &path) override
    {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
            return nullptr;
        return std::make_unique<TWin32RegistryKey>(TKeyHandle(key));
    }

    std::unique_ptr<IRegistryKey> CreateKey(const std::string &path) override
    {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr) != ERROR_SUCCESS)
            return nullptr;
        return std::make_unique<TWin32RegistryKey>(TKeyHandle(key));
    }

    bool DeleteKey(const std::string &path) override
    {
        return RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str()) == ERROR_SUCCESS;
    }
};

} // namespace

IRegistry &UserRegistry()
{
    static TWin32Registry registry;
    return registry;
}

} // namespace Halcyra::Platform
