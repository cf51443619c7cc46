// Linux backend of the text encodings: the program draws Windows-1252 (the soft fonts' code page),
// and documents in other character sets are converted by the C library's iconv.
#include "platform/TextEncodings.h"

#include "net/Windows1252.h"

#include <cerrno>
#include <iconv.h>

namespace Halcyra::Platform {
namespace {

class TIconv {
public:
    explicit TIconv(const std::string &from) : FHandle(iconv_open("UTF-8", from.c_str())) {}
    ~TIconv()
    {
        if (IsOpen())
            iconv_close(FHandle);
    }
    TIconv(const TIconv &) = delete;
    TIconv &operator=(const TIconv &) = delete;

    bool IsOpen() const { return FHandle != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return FHandle; }

private:
    iconv_t FHandle;
};

class TLinuxTextEncodings final : public ITextEncodings {
public:
    bool AppendAnsi(char32_t character, std::string &text) const override
    {
        return Net::Windows1252Encodings().AppendAnsi(character, text);
    }

    std::optional<std::string> DecodeToUtf8(std::string_view charset, std::string_view bytes) const override
    {
        const TIconv converter{std::string(charset)};
        if (!converter.IsOpen())
            return std::nullopt;
        std::string text;
        char buffer[4096];
        char *in = const_cast<char *>(bytes.data());
        std::size_t inLeft = bytes.size();
        while (inLeft > 0) {
            char *out = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t result = iconv(converter.Get(), &in, &inLeft, &out, &outLeft);
            text.append(buffer, static_cast<std::size_t>(out - buffer));
            if (result != static_cast<std::size_t>(-1) || errno == E2BIG)
                continue;
            // An invalid or cut-off sequence: one replacement character, and on after its first byte.
            text += "\xEF\xBF\xBD";
            ++in;
            --inLeft;
        }
        return text;
    }
};

const TLinuxTextEncodings TheTextEncodings;

} // namespace

const ITextEncodings &SystemTextEncodings()
{
    return TheTextEncodings;
}

} // namespace Halcyra::Platform
