// Windows backend of the text encodings: the system's ANSI code page, and its code page converters
// for documents, found by the IANA names documents use.
#include "platform/TextEncodings.h"

#include <windows.h>

#include <cctype>

namespace Halcyra::Platform {
namespace {

struct TCodePageName {
    std::string_view Name;
    UINT CodePage;
};

// Windows names code pages by number. The names are those of the IANA registry and the aliases
// documents commonly use; the ISO 8859 parts Windows lacks (10, 14, 16) are not listed.
constexpr TCodePageName CodePageNames[] = {
    {"big5", 950}, {"big5-hkscs", 950}, {"cp866", 866}, {"cp874", 874}, {"cp932", 932}, {"cp936", 936},
    {"cp949", 949}, {"cp950", 950}, {"euc-cn", 936}, {"euc-jp", 20932}, {"euc-kr", 949}, {"gb18030", 54936},
    {"gb2312", 936}, {"gbk", 936}, {"ibm866", 866}, {"iso-2022-jp", 50220}, {"iso-8859-2", 28592},
    {"iso-8859-3", 28593}, {"iso-8859-4", 28594}, {"iso-8859-5", 28595}, {"iso-8859-6", 28596},
    {"iso-8859-7", 28597}, {"iso-8859-8", 28598}, {"iso-8859-9", 28599}, {"iso-8859-11", 874},
    {"iso-8859-13", 28603}, {"iso-8859-15", 28605}, {"koi8-r", 20866}, {"koi8-u", 21866},
    {"ks_c_5601-1987", 949}, {"macintosh", 10000}, {"shift_jis", 932}, {"sjis", 932}, {"tis-620", 874},
    {"windows-1250", 1250}, {"windows-1251", 1251}, {"windows-1252", 1252}, {"windows-1253", 1253},
    {"windows-1254", 1254}, {"windows-1255", 1255}, {"windows-1256", 1256}, {"windows-1257", 1257},
    {"windows-1258", 1258}, {"windows-31j", 932}, {"windows-874", 874}, {"x-mac-roman", 10000}, {"x-sjis", 932},
};

std::optional<UINT> CodePageOf(std::string_view charset)
{
    std::string lowered;
    for (char c : charset)
        lowered.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    for (const TCodePageName &entry : CodePageNames) {
        if (entry.Name == lowered)
            return entry.CodePage;
    }
    return std::nullopt;
}

std::wstring Utf16Of(char32_t character)
{
    if (character < 0x10000)
        return std::wstring(1, static_cast<wchar_t>(character));
    character -= 0x10000;
    return {static_cast<wchar_t>(0xD800 + (character >> 10)), static_cast<wchar_t>(0xDC00 + (character & 0x3FF))};
}

std::string ToUtf8(const std::wstring &wide)
{
    if (wide.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size, nullptr, nullptr);
    return text;
}

class TWin32TextEncodings final : public ITextEncodings {
public:
    bool AppendAnsi(char32_t character, std::string &text) const override
    {
        const std::wstring wide = Utf16Of(character);
        char bytes[8];
        const UINT codePage = GetACP();
        int written = 0;
        if (codePage == CP_UTF8) {
            // A system set to UTF-8 has every character; it allows neither flag nor default below.
            written = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), bytes, sizeof bytes,
                                          nullptr, nullptr);
        } else {
            // No best fit: a character the code page lacks is reported, so that the stand-ins, not
            // Windows' guesses, decide what is shown.
            BOOL usedDefault = FALSE;
            written = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), bytes,
                                          sizeof bytes, nullptr, &usedDefault);
            if (usedDefault)
                written = 0;
        }
        if (written <= 0)
            return false;
        text.append(bytes, static_cast<std::size_t>(written));
        return true;
    }

    std::optional<std::string> DecodeToUtf8(std::string_view charset, std::string_view bytes) const override
    {
        const std::optional<UINT> codePage = CodePageOf(charset);
        if (!codePage || !IsValidCodePage(*codePage))
            return std::nullopt;
        if (bytes.empty())
            return std::string();
        const int size = MultiByteToWideChar(*codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
        if (size <= 0)
            return std::nullopt;
        std::wstring wide(static_cast<std::size_t>(size), L'\0');
        MultiByteToWideChar(*codePage, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), size);
        return ToUtf8(wide);
    }
};

const TWin32TextEncodings TheTextEncodings;

} // namespace

const ITextEncodings &SystemTextEncodings()
{
    return TheTextEncodings;
}

} // namespace Halcyra::Platform
