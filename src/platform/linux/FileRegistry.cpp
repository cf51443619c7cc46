// Linux backend of the settings hive: key files under $XDG_CONFIG_HOME.
#include "platform/linux/FileRegistry.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

namespace Halcyra::Platform {
namespace {

namespace fs = std::filesystem;

constexpr const char *KeyFileExtension = ".reg";

bool SameNameIgnoringCase(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (std::tolower(x) != std::tolower(y))
            return false;
    }
    return true;
}

// Key names may hold any character but the backslash; the few that a file name cannot hold are
// written as %XX.
std::string FileNameOf(const std::string &component)
{
    if (component == "." || component == "..")
        return component == "." ? "%2E" : "%2E%2E";
    std::string name;
    for (char c : component) {
        if (c == '/' || c == '%' || c == '\0') {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
            name += escaped;
        } else {
            name += c;
        }
    }
    return name;
}

// ---- the key file format ----

void AppendQuoted(std::string &out, std::string_view text)
{
    out += '"';
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (byte < 0x20 || byte >= 0x7F) {
                char escaped[5];
                std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

// Reads a quoted text at text[pos]; advances pos past the closing quote.
std::optional<std::string> ReadQuoted(std::string_view text, std::size_t &pos)
{
    if (pos >= text.size() || text[pos] != '"')
        return std::nullopt;
    std::string result;
    for (++pos; pos < text.size(); ++pos) {
        char c = text[pos];
        if (c == '"') {
            ++pos;
            return result;
        }
        if (c != '\\') {
            result += c;
            continue;
        }
        if (++pos >= text.size())
            return std::nullopt;
        switch (text[pos]) {
        case '\\': result += '\\'; break;
        case '"': result += '"'; break;
        case 'n': result += '\n'; break;
        case 'r': result += '\r'; break;
        case 't': result += '\t'; break;
        case 'x': {
            unsigned value = 0;
            if (pos + 2 >= text.size())
                return std::nullopt;
            auto [end, error] = std::from_chars(text.data() + pos + 1, text.data() + pos + 3, value, 16);
            if (error != std::errc() || end != text.data() + pos + 3)
                return std::nullopt;
            result += static_cast<char>(value);
            pos += 2;
            break;
        }
        default: return std::nullopt;
        }
    }
    return std::nullopt;
}

bool IsPlainText(const std::string &data)
{
    return !data.empty() && data.back() == '\0' && data.find('\0') == data.size() - 1;
}

void AppendHex(std::string &out, const std::string &data)
{
    for (std::size_t i = 0; i < data.size(); ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, i == 0 ? "%02x" : ",%02x", static_cast<unsigned char>(data[i]));
        out += byte;
    }
}

std::optional<std::string> ReadHex(std::string_view text)
{
    std::string bytes;
    std::size_t pos = 0;
    while (pos < text.size()) {
        unsigned value = 0;
        auto [end, error] = std::from_chars(text.data() + pos, text.data() + std::min(pos + 2, text.size()), value, 16);
        if (error != std::errc() || end != text.data() + pos + 2)
            return std::nullopt;
        bytes += static_cast<char>(value);
        pos += 2;
        if (pos < text.size() && text[pos++] != ',')
            return std::nullopt;
    }
    return bytes;
}

int TypeNumber(TRegistryValueType type)
{
    switch (type) {
    case TRegistryValueType::Text: return 1;
    case TRegistryValueType::ExpandedText: return 2;
    case TRegistryValueType::Binary: return 3;
    case TRegistryValueType::Integer: return 4;
    case TRegistryValueType::Other: break;
    }
    return 0;
}

TRegistryValueType TypeOfNumber(int number)
{
    switch (number) {
    case 1: return TRegistryValueType::Text;
    case 2: return TRegistryValueType::ExpandedText;
    case 3: return TRegistryValueType::Binary;
    case 4: return TRegistryValueType::Integer;
    default: return TRegistryValueType::Other;
    }
}

TRegistryValue ReadData(std::string_view data)
{
    // Data that cannot be read is kept as bytes of no known type: its text as found and a zero byte.
    // It is never empty, because the store reads an empty value of any type as an empty text.
    const TRegistryValue unreadable{TRegistryValueType::Other, std::string(data) + '\0'};
    if (!data.empty() && data.front() == '"') {
        std::size_t pos = 0;
        auto text = ReadQuoted(data, pos);
        if (!text || pos != data.size())
            return unreadable;
        return {TRegistryValueType::Text, *text + '\0'};
    }
    if (data.starts_with("expand:")) {
        std::size_t pos = 7;
        auto text = ReadQuoted(data, pos);
        if (!text || pos != data.size())
            return unreadable;
        return {TRegistryValueType::ExpandedText, *text + '\0'};
    }
    if (data.starts_with("dword:")) {
        std::string_view number = data.substr(6);
        long long value = 0;
        auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value, 10);
        if (number.empty() || error != std::errc() || end != number.data() + number.size() || value < INT32_MIN || value > UINT32_MAX)
            return unreadable;
        std::uint32_t bits = static_cast<std::uint32_t>(value);
        std::string bytes(4, '\0');
        for (int i = 0; i < 4; ++i)
            bytes[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
        return {TRegistryValueType::Integer, bytes};
    }
    if (data.starts_with("hex:")) {
        auto bytes = ReadHex(data.substr(4));
        return bytes ? TRegistryValue{TRegistryValueType::Binary, *bytes} : unreadable;
    }
    if (data.starts_with("hex(")) {
        std::size_t close = data.find("):");
        int number = 0;
        if (close == std::string_view::npos)
            return unreadable;
        auto [end, error] = std::from_chars(data.data() + 4, data.data() + close, number, 10);
        auto bytes = ReadHex(data.substr(close + 2));
        if (error != std::errc() || end != data.data() + close || !bytes)
            return unreadable;
        return {TypeOfNumber(number), *bytes};
    }
    return unreadable;
}

std::string WriteData(const TRegistryValue &value)
{
    std::string out;
    const std::string &data = value.Data;
    if (value.Type == TRegistryValueType::Integer && data.size() == 4) {
        std::uint32_t bits = 0;
        for (int i = 0; i < 4; ++i)
            bits |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[i])) << (8 * i);
        out = "dword:" + std::to_string(static_cast<std::int32_t>(bits));
    } else if (value.Type == TRegistryValueType::Text && IsPlainText(data)) {
        AppendQuoted(out, std::string_view(data).substr(0, data.size() - 1));
    } else if (value.Type == TRegistryValueType::ExpandedText && IsPlainText(data)) {
        out = "expand:";
        AppendQuoted(out, std::string_view(data).substr(0, data.size() - 1));
    } else if (value.Type == TRegistryValueType::Binary) {
        out = "hex:";
        AppendHex(out, data);
    } else {
        out = "hex(" + std::to_string(TypeNumber(value.Type)) + "):";
        AppendHex(out, data);
    }
    return out;
}

std::optional<std::string> ReadFile(const fs::path &file)
{
    std::ifstream stream(file, std::ios::binary);
    if (!stream)
        return std::nullopt;
    std::string text;
    char buffer[4096];
    while (stream.read(buffer, sizeof buffer) || stream.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(stream.gcount()));
        if (text.size() > KeyFileFormat::MaxFileSize)
            return std::nullopt;
    }
    return text;
}

bool WriteAll(int descriptor, const std::string &text)
{
    std::size_t written = 0;
    while (written < text.size()) {
        ssize_t result = ::write(descriptor, text.data() + written, text.size() - written);
        if (result < 0 && errno == EINTR)
            continue;
        if (result <= 0)
            return false;
        written += static_cast<std::size_t>(result);
    }
    return true;
}

void SyncFolder(const fs::path &folder)
{
    int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        ::fsync(descriptor);
        ::close(descriptor);
    }
}

class TFileRegistryKey final : public IRegistryKey {
public:
    TFileRegistryKey(const TFileRegistry &registry, std::string keyPath, fs::path file)
        : FRegistry(registry), FKeyPath(std::move(keyPath)), FFile(std::move(file))
    {
    }

    std::optional<TRegistryValue> ReadValue(const std::string &name) override
    {
        for (const auto &entry : Entries()) {
            if (SameNameIgnoringCase(entry.Name, name))
                return entry.Value;
        }
        return std::nullopt;
    }

    bool WriteValue(const std::string &name, const TRegistryValue &value) override
    {
        auto entries = Entries();
        SetEntry(entries, name, value);
        return Replace(entries);
    }

    // All values go into one new key file: a reader sees either none of them or all.
    std::size_t WriteValues(const std::vector<TRegistryNamedValue> &values) override
    {
        auto entries = Entries();
        for (const auto &value : values)
            SetEntry(entries, value.Name, value.Value);
        return Replace(entries) ? values.size() : 0;
    }

    bool DeleteValue(const std::string &name) override
    {
        auto entries = Entries();
        auto found = std::find_if(entries.begin(), entries.end(),
                                  [&](const KeyFileFormat::TEntry &entry) { return SameNameIgnoringCase(entry.Name, name); });
        if (found == entries.end())
            return false;
        entries.erase(found);
        return Replace(entries);
    }

    std::vector<std::string> ValueNames() override
    {
        std::vector<std::string> names;
        for (const auto &entry : Entries())
            names.push_back(entry.Name);
        return names;
    }

    // Writes the whole key anew beside the old file and renames it into place.
    bool Replace(const std::vector<KeyFileFormat::TEntry> &entries)
    {
        const std::string text = KeyFileFormat::Write(FKeyPath, entries);
        std::string pattern = (FFile.parent_path() / ("." + FFile.filename().string() + ".XXXXXX")).string();
        int descriptor = ::mkstemp(pattern.data());
        if (descriptor < 0)
            return false;
        ::fchmod(descriptor, 0600);
        bool written = WriteAll(descriptor, text) && ::fsync(descriptor) == 0;
        written = ::close(descriptor) == 0 && written;
        if (written && FRegistry.BeforeReplace)
            FRegistry.BeforeReplace();
        if (!written || ::rename(pattern.c_str(), FFile.c_str()) != 0) {
            ::unlink(pattern.c_str());
            return false;
        }
        SyncFolder(FFile.parent_path());
        return true;
    }

private:
    static void SetEntry(std::vector<KeyFileFormat::TEntry> &entries, const std::string &name, const TRegistryValue &value)
    {
        for (auto &entry : entries) {
            if (SameNameIgnoringCase(entry.Name, name)) {
                entry.Value = value;
                return;
            }
        }
        entries.push_back({name, value});
    }

    std::vector<KeyFileFormat::TEntry> Entries() const
    {
        auto text = ReadFile(FFile);
        if (!text)
            return {};
        return KeyFileFormat::Read(*text).value_or(std::vector<KeyFileFormat::TEntry>{});
    }

    const TFileRegistry &FRegistry;
    std::string FKeyPath;
    fs::path FFile;
};

} // namespace

namespace KeyFileFormat {

std::string Write(const std::string &keyPath, const std::vector<TEntry> &entries)
{
    std::string text = "; Settings kept by Halcyra Screensaver. One value per line: \"Name\"=\"text\",\n"
                       "; \"Name\"=dword:<decimal>, \"Name\"=expand:\"text\", \"Name\"=hex:<bytes> or hex(<type>):<bytes>.\n";
    text += "[" + keyPath + "]\n";
    for (const auto &entry : entries) {
        AppendQuoted(text, entry.Name);
        text += "=" + WriteData(entry.Value) + "\n";
    }
    return text;
}

std::optional<std::vector<TEntry>> Read(const std::string &text)
{
    std::vector<TEntry> entries;
    bool sawHeader = false;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string_view line(text.data() + start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.front() == ';')
            continue;
        if (!sawHeader) {
            if (line.front() != '[' || line.back() != ']')
                return std::nullopt;
            sawHeader = true;
            continue;
        }
        std::size_t pos = 0;
        auto name = ReadQuoted(line, pos);
        if (!name || pos >= line.size() || line[pos] != '=')
            continue;
        TEntry entry{*name, ReadData(line.substr(pos + 1))};
        auto same = std::find_if(entries.begin(), entries.end(),
                                 [&](const TEntry &other) { return SameNameIgnoringCase(other.Name, entry.Name); });
        if (same != entries.end())
            same->Value = entry.Value;
        else
            entries.push_back(std::move(entry));
    }
    if (!sawHeader)
        return std::nullopt;
    return entries;
}

} // namespace KeyFileFormat

TFileRegistry::TFileRegistry(std::filesystem::path root) : FRoot(std::move(root))
{
}

std::filesystem::path TFileRegistry::KeyFile(const std::string &path) const
{
    std::vector<std::string> components;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string::npos)
            end = path.size();
        if (end > start)
            components.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    // The per-user software branch is the configuration folder itself.
    if (!components.empty() && SameNameIgnoringCase(components.front(), "SOFTWARE"))
        components.erase(components.begin());
    if (components.empty())
        return {};
    fs::path file = FRoot;
    for (std::size_t i = 0; i + 1 < components.size(); ++i)
        file /= FileNameOf(components[i]);
    return file / (FileNameOf(components.back()) + KeyFileExtension);
}

std::unique_ptr<IRegistryKey> TFileRegistry::OpenKey(const std::string &path)
{
    fs::path file = KeyFile(path);
    if (file.empty())
        return nullptr;
    auto text = ReadFile(file);
    // A file that is not a key file, or too large to be one, is no key: the caller treats the key as
    // missing and may write it anew.
    if (!text || !KeyFileFormat::Read(*text))
        return nullptr;
    return std::make_unique<TFileRegistryKey>(*this, path, file);
}

std::unique_ptr<IRegistryKey> TFileRegistry::CreateKey(const std::string &path)
{
    fs::path file = KeyFile(path);
    if (file.empty())
        return nullptr;
    std::error_code error;
    fs::create_directories(file.parent_path(), error);
    if (error)
        return nullptr;
    auto key = std::make_unique<TFileRegistryKey>(*this, path, file);
    auto text = ReadFile(file);
    if (!text || !KeyFileFormat::Read(*text)) {
        if (!key->Replace({}))
            return nullptr;
    }
    return key;
}

bool TFileRegistry::DeleteKey(const std::string &path)
{
    fs::path file = KeyFile(path);
    if (file.empty())
        return false;
    std::error_code error;
    fs::path subkeys = file;
    subkeys.replace_extension();
    if (fs::is_directory(subkeys, error) && !fs::is_empty(subkeys, error))
        return false;
    return fs::remove(file, error);
}

IRegistry &UserRegistry()
{
    static TFileRegistry registry = [] {
        const char *configHome = std::getenv("XDG_CONFIG_HOME");
        if (configHome != nullptr && configHome[0] == '/')
            return TFileRegistry(configHome);
        const char *home = std::getenv("HOME");
        return TFileRegistry(fs::path(home != nullptr ? home : ".") / ".config");
    }();
    return registry;
}

} // namespace Halcyra::Platform
