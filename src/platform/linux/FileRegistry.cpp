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
#include <pwd.h>
#include <vector>
#include <sys/file.h>
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

using TEntries = std::vector<KeyFileFormat::TEntry>;

// The entry of this name (names ignore case).
TEntries::iterator Find(TEntries &entries, const std::string &name)
{
    return std::find_if(entries.begin(), entries.end(),
                        [&](const KeyFileFormat::TEntry &entry) { return SameNameIgnoringCase(entry.Name, name); });
}

// Gives the entry of this name the value, or adds one; a later line of a name replaces an earlier.
void SetEntry(TEntries &entries, const std::string &name, const TRegistryValue &value)
{
    auto found = Find(entries, name);
    if (found != entries.end())
        found->Value = value;
    else
        entries.push_back({name, value});
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

// The line without the blanks around it (and the carriage return of a CRLF line).
std::string_view Trimmed(std::string_view line)
{
    const std::size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    return line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
}

// Whether what follows a value or the key's name is nothing but blanks and a ; comment.
bool OnlyComment(std::string_view rest)
{
    rest = Trimmed(rest);
    return rest.empty() || rest.front() == ';';
}

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

// The value written as data; nullopt when it is none of the forms Write writes.
std::optional<TRegistryValue> ReadData(std::string_view data)
{
    if (!data.empty() && data.front() == '"') {
        std::size_t pos = 0;
        auto text = ReadQuoted(data, pos);
        if (!text || pos != data.size())
            return std::nullopt;
        return TRegistryValue{TRegistryValueType::Text, *text + '\0'};
    }
    if (data.starts_with("expand:")) {
        std::size_t pos = 7;
        auto text = ReadQuoted(data, pos);
        if (!text || pos != data.size())
            return std::nullopt;
        return TRegistryValue{TRegistryValueType::ExpandedText, *text + '\0'};
    }
    if (data.starts_with("dword:")) {
        std::string_view number = data.substr(6);
        long long value = 0;
        auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value, 10);
        if (number.empty() || error != std::errc() || end != number.data() + number.size() || value < INT32_MIN || value > UINT32_MAX)
            return std::nullopt;
        std::uint32_t bits = static_cast<std::uint32_t>(value);
        std::string bytes(4, '\0');
        for (int i = 0; i < 4; ++i)
            bytes[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
        return TRegistryValue{TRegistryValueType::Integer, bytes};
    }
    if (data.starts_with("hex:")) {
        auto bytes = ReadHex(data.substr(4));
        if (!bytes)
            return std::nullopt;
        return TRegistryValue{TRegistryValueType::Binary, *bytes};
    }
    if (data.starts_with("hex(")) {
        std::size_t close = data.find("):");
        int number = 0;
        if (close == std::string_view::npos)
            return std::nullopt;
        auto [end, error] = std::from_chars(data.data() + 4, data.data() + close, number, 10);
        auto bytes = ReadHex(data.substr(close + 2));
        if (error != std::errc() || end != data.data() + close || !bytes)
            return std::nullopt;
        return TRegistryValue{TypeOfNumber(number), *bytes};
    }
    return std::nullopt;
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

[[noreturn]] void FailToRead(const fs::path &file, const std::string &reason)
{
    throw ERegistryException("The settings file '" + file.string() + "' cannot be read: " + reason +
                             ". It was left unchanged.");
}

// The text of a key file; nullopt when there is no such file. A file that is there but cannot be
// read is an error, never a missing key that a first run would write over.
std::optional<std::string> ReadKeyFile(const fs::path &file)
{
    const int descriptor = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        if (errno == ENOENT)
            return std::nullopt;
        FailToRead(file, std::strerror(errno));
    }
    std::string text;
    struct stat status {};
    int failure = 0;
    if (::fstat(descriptor, &status) != 0)
        failure = errno;
    else if (!S_ISREG(status.st_mode))
        failure = EISDIR;
    char buffer[4096];
    while (failure == 0 && text.size() <= KeyFileFormat::MaxFileSize) {
        const ssize_t count = ::read(descriptor, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            failure = errno;
        if (count <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(descriptor);
    if (failure == EISDIR)
        FailToRead(file, "it is not a file");
    if (failure != 0)
        FailToRead(file, std::strerror(failure));
    if (text.size() > KeyFileFormat::MaxFileSize)
        FailToRead(file, "it is larger than " + std::to_string(KeyFileFormat::MaxFileSize) + " bytes");
    return text;
}

// The entries of a key file; nullopt when there is no such file.
std::optional<std::vector<KeyFileFormat::TEntry>> ReadEntries(const fs::path &file)
{
    auto text = ReadKeyFile(file);
    if (!text)
        return std::nullopt;
    KeyFileFormat::TParsed parsed = KeyFileFormat::Read(*text);
    if (parsed.BadLine != 0)
        FailToRead(file, "line " + std::to_string(parsed.BadLine) + " is not \"Name\"=value, [key] or a ; comment");
    return std::move(parsed.Entries);
}

// Holds the key files' folder locked while a key is read, changed and written back, so that two
// processes writing at once (two first runs, the dialog and the saver) never lose a value.
class TFolderLock {
public:
    explicit TFolderLock(const fs::path &folder) : FDescriptor(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        while (FDescriptor >= 0 && ::flock(FDescriptor, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~TFolderLock()
    {
        if (FDescriptor >= 0)
            ::close(FDescriptor);
    }
    TFolderLock(const TFolderLock &) = delete;
    TFolderLock &operator=(const TFolderLock &) = delete;

private:
    int FDescriptor;
};

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
        return WriteValues({{name, value}}) == 1;
    }

    // All values go into one new key file: a reader sees either none of them or all.
    std::size_t WriteValues(const std::vector<TRegistryNamedValue> &values) override
    {
        TFolderLock lock(FFile.parent_path());
        auto entries = Entries();
        for (const auto &value : values)
            SetEntry(entries, value.Name, value.Value);
        return Replace(entries) ? values.size() : 0;
    }

    std::size_t WriteMissingValues(const std::vector<TRegistryNamedValue> &values) override
    {
        TFolderLock lock(FFile.parent_path());
        auto entries = Entries();
        std::size_t firstMissing = values.size();
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (Find(entries, values[i].Name) == entries.end()) {
                firstMissing = std::min(firstMissing, i);
                entries.push_back({values[i].Name, values[i].Value});
            }
        }
        if (firstMissing == values.size())
            return values.size();
        return Replace(entries) ? values.size() : firstMissing;
    }

    bool DeleteValue(const std::string &name) override
    {
        TFolderLock lock(FFile.parent_path());
        auto entries = Entries();
        auto found = Find(entries, name);
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
        // Not inherited by a program started meanwhile (the browser F2 opens, say).
        int descriptor = ::mkostemp(pattern.data(), O_CLOEXEC);
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
    // The key's values as the file holds them now; none when the file has gone.
    TEntries Entries() const { return ReadEntries(FFile).value_or(TEntries{}); }

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

TParsed Read(std::string_view text)
{
    TParsed parsed;
    // An editor may have put a UTF-8 byte order mark in front.
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    bool sawHeader = false;
    std::size_t start = 0;
    for (std::size_t number = 1; start < text.size(); ++number) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string_view line = Trimmed(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.front() == ';')
            continue;
        std::size_t pos = 0;
        if (line.front() == '[') {
            pos = line.find(']');
            if (sawHeader || pos == std::string_view::npos || !OnlyComment(line.substr(pos + 1))) {
                parsed.BadLine = number;
                return parsed;
            }
            sawHeader = true;
            continue;
        }
        auto name = sawHeader ? ReadQuoted(line, pos) : std::nullopt;
        std::string_view rest = name ? Trimmed(line.substr(pos)) : std::string_view{};
        std::optional<TRegistryValue> value;
        if (rest.starts_with('=')) {
            rest = Trimmed(rest.substr(1));
            // A text ends at its closing quote, anything else at the first blank or comment.
            std::size_t dataEnd = rest.find_first_of(" \t;");
            if (rest.starts_with('"') || rest.starts_with("expand:\"")) {
                std::size_t quoted = rest.starts_with('"') ? 0 : 7;
                dataEnd = ReadQuoted(rest, quoted) ? quoted : std::string_view::npos;
            }
            if (OnlyComment(rest.substr(std::min(dataEnd, rest.size()))))
                value = ReadData(rest.substr(0, dataEnd));
        }
        if (!value) {
            parsed.BadLine = number;
            return parsed;
        }
        SetEntry(parsed.Entries, *name, *value);
    }
    return parsed;
}

} // namespace KeyFileFormat

TFileRegistry::TFileRegistry(std::filesystem::path root) : FRoot(std::move(root))
{
}

std::filesystem::path TFileRegistry::KeyFile(const std::string &path) const
{
    if (FRoot.empty())
        return {};
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
    if (file.empty() || !ReadEntries(file))
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
    TFolderLock lock(file.parent_path());
    if (!ReadEntries(file) && !key->Replace({}))
        return nullptr;
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

fs::path SettingsFolder()
{
    const char *configHome = std::getenv("XDG_CONFIG_HOME");
    if (configHome != nullptr && configHome[0] == '/')
        return configHome;
    // A relative or empty HOME names no home: the user database does.
    std::string home;
    if (const char *variable = std::getenv("HOME"); variable != nullptr && variable[0] == '/') {
        home = variable;
    } else {
        passwd entry{};
        passwd *found = nullptr;
        std::vector<char> buffer(16384);
        if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
            found->pw_dir != nullptr && found->pw_dir[0] == '/')
            home = found->pw_dir;
    }
    return home.empty() ? fs::path() : fs::path(home) / ".config";
}

IRegistry &UserRegistry()
{
    static TFileRegistry registry(SettingsFolder());
    return registry;
}

} // namespace Halcyra::Platform
