// The byte-string routines that cut values out of feed texts and decode their character references;
// the feed parsing and the news directory of the settings dialog share them. Positions count from 1.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace Halcyra::Net {

// What ExtractBetween and ExtractEntity leave in rest when a marker is missing.
inline constexpr std::string_view NotFoundRest = "FIN";

// Cuts the text between the first start marker and the next end marker into token; rest is the text
// after the end marker's first character. The start marker "BEGIN" means the start of the text. When a
// marker is missing (an empty marker never occurs), rest is "FIN" and token keeps its value.
void ExtractBetween(const std::string &text, const std::string &startMarker, std::string &rest,
                    std::string &token, const std::string &endMarker);
// The same on views; rest and token point into text (or at NotFoundRest). True when both markers were found.
bool ExtractBetween(std::string_view text, std::string_view startMarker, std::string_view &rest,
                    std::string_view &token, std::string_view endMarker);

// Finds the first character reference "&name;": before is the text ahead of the "&", name the text
// between "&" and ";", rest the text after the ";". Without an "&", found is false, rest the whole text
// and before and name keep their values; with an "&" but no ";" after it, found is false, rest the
// whole text, before is set and name keeps its value.
void ExtractEntity(const std::string &text, std::string &rest, bool &found, std::string &before,
                   std::string &name);
void ExtractEntity(std::string_view text, std::string_view &rest, bool &found, std::string_view &before,
                   std::string_view &name);

// Replaces the character references the feeds use (quot, amp, #039, apos, lt, gt, #36, #39, #038) by
// their characters, keeps any other reference as written, and turns every byte below 32 into a space.
std::string DecodeEntities(std::string_view text);

// Removes CDATA brackets and turns a UTF-8 right single quotation mark and the escaped reference
// "&amp;#39;" into an apostrophe.
std::string StripCData(std::string_view text);

// The text without the blanks (spaces, tabs, line ends) at its ends.
std::string_view TrimmedBlanks(std::string_view text);

// The number-conversion error: a text that is not a whole decimal number where one is needed.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads a decimal number that fits 32 bits, after optional blanks and a sign; anything else raises EConvertError
// "'text' is not a valid integer value".
int StrToInt(std::string_view text);

} // namespace Halcyra::Net
