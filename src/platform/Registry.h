// The per-user settings hive: keys addressed by a backslash path ("SOFTWARE\Maker\Product"), each
// holding named values of a type and raw bytes, as the registry keeps them. The meaning of the
// bytes and the error texts belong to the settings store, not to the backends.
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace Halcyra::Platform {

// A registry access that failed; the text says which value or which file ("Failed to get data for
// 'Brightness'").
class ERegistryException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class TRegistryValueType {
    Text,         // REG_SZ: the text and its terminating zero byte
    ExpandedText, // REG_EXPAND_SZ
    Integer,      // REG_DWORD: four bytes, little-endian
    Binary,       // REG_BINARY
    Other         // any other type, or a value the backend cannot make sense of
};

struct TRegistryValue {
    TRegistryValueType Type = TRegistryValueType::Binary;
    std::string Data;
};

struct TRegistryNamedValue {
    std::string Name;
    TRegistryValue Value;
};

class IRegistryKey {
public:
    virtual ~IRegistryKey() = default;

    // The value's type and bytes; nullopt when the key has no value of that name (names ignore case).
    virtual std::optional<TRegistryValue> ReadValue(const std::string &name) = 0;
    // Stores a value, replacing one of the same name; false when it could not be stored.
    virtual bool WriteValue(const std::string &name, const TRegistryValue &value) = 0;
    // Stores several values in order, as WriteValue would one by one; the number stored before the
    // first that could not be (all: values.size()). A backend that can replace the whole key at once
    // stores all of them or none, so that no reader ever sees only some.
    virtual std::size_t WriteValues(const std::vector<TRegistryNamedValue> &values)
    {
        std::size_t stored = 0;
        while (stored < values.size() && WriteValue(values[stored].Name, values[stored].Value))
            ++stored;
        return stored;
    }
    // Stores those of the values the key does not hold yet, leaving every value it holds as it is;
    // the number of values before the first missing one that could not be stored (all:
    // values.size()). A backend that can replace the whole key at once stores all or none of them.
    virtual std::size_t WriteMissingValues(const std::vector<TRegistryNamedValue> &values)
    {
        std::size_t done = 0;
        while (done < values.size() && (ReadValue(values[done].Name) || WriteValue(values[done].Name, values[done].Value)))
            ++done;
        return done;
    }
    // Removes a value; false when there was none or it could not be removed.
    virtual bool DeleteValue(const std::string &name) = 0;
    // The names of the key's values, in the order the key keeps them.
    virtual std::vector<std::string> ValueNames() = 0;
};

// A key that exists but cannot be read (a settings file that cannot be parsed, say) is never written
// over: opening, creating, reading and writing it throw ERegistryException naming the place.
class IRegistry {
public:
    virtual ~IRegistry() = default;

    // Opens an existing key of the current user with full access; null when it does not exist or
    // cannot be opened.
    virtual std::unique_ptr<IRegistryKey> OpenKey(const std::string &path) = 0;
    // Opens a key, creating it and its parents when missing; null when that fails.
    virtual std::unique_ptr<IRegistryKey> CreateKey(const std::string &path) = 0;
    // Deletes a key that has no subkeys, with its values; false when it could not be deleted.
    virtual bool DeleteKey(const std::string &path) = 0;
};

// The current user's hive of this platform.
IRegistry &UserRegistry();

} // namespace Halcyra::Platform
