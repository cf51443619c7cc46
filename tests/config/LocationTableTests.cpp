// Tests of the location table: the layout and content rules of the table linked into the module,
// the Weather tab's lookups on it, and the lookups on small hand-made tables, damaged ones included;
// and the coordinates of its codes.
#include "config/LocationTable.h"
#include "platform/Resources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace Halcyra {
namespace {

// The Country list, in table order.
const char *const CountryNames[] = {
    "Afghanistan", "Albania", "Algeria", "American Samoa", "Andorra", "Angola", "Anguilla", "Antarctica",
    "Antigua and Barbuda", "Argentina", "Armenia", "Aruba", "Ascension Island", "Australia", "Austria",
    "Azerbaijan", "Bahamas", "Bahrain", "Bangladesh", "Barbados", "Belarus", "Belgium", "Belize", "Benin",
    "Bermuda", "Bhutan", "Bolivia", "Bosnia and Herzegovina", "Botswana", "Brazil", "British Virgin Islands",
    "Brunei", "Bulgaria", "Burkina Faso", "Burundi", "Cambodia", "Cameroon", "Canada", "Cape Verde",
    "Cayman Islands", "Central African Republic", "Chad", "Chile", "China", "Christmas Island", "Colombia",
    "Comoros", "Congo (Brazzaville)", "Congo, Democratic Republic of", "Cook Islands", "Costa Rica",
    "Cote D'Ivoire", "Croatia", "Cuba", "Cyprus", "Czech Republic", "Denmark", "Djibouti", "Dominica",
    "Dominican Republic", "Ecuador", "Egypt", "El Salvador", "Equatorial Guinea", "Eritrea", "Estonia",
    "Ethiopia", "Falkland Islands", "Fiji", "Finland", "France", "French Guiana", "French Polynesia", "Gabon",
    "Gambia", "Georgia", "Germany", "Ghana", "Gibraltar", "Greece", "Greenland", "Grenada", "Guadeloupe",
    "Guam", "Guatemala", "Guinea", "Guinea-Bissau", "Guyana", "Haiti", "Honduras", "Hungary", "Iceland",
    "India", "Indonesia", "Iran", "Iraq", "Ireland", "Isle of Man", "Israel", "Italy", "Jamaica", "Japan",
    "Jordan", "Kazakhstan", "Kenya", "Kiribati", "Korea, North", "Kuwait", "Kwajalein", "Kyrgyzstan", "Laos",
    "Latvia", "Lebanon", "Lesotho", "Liberia", "Libya", "Liechtenstein", "Lithuania", "Luxembourg",
    "Macedonia, Former Yugoslav Republic of", "Madagascar", "Malawi", "Malaysia", "Maldives", "Mali", "Malta",
    "Marshall Islands", "Martinique", "Mauritania", "Mauritius", "Mayotte", "Mexico",
    "Micronesia, Federated States of", "Moldova", "Monaco", "Mongolia", "Morocco", "Mozambique", "Myanmar",
    "Namibia", "Nauru", "Nepal", "Netherlands", "Netherlands Antilles", "New Caledonia", "New Zealand",
    "Nicaragua", "Niger", "Nigeria", "Northern Mariana Islands", "Norway", "Oman", "Pakistan", "Palau",
    "Palestinian Authority", "Panama", "Papua New Guinea", "Paraguay", "Peru", "Philippines", "Poland",
    "Portugal", "Puerto Rico", "Qatar", "Reunion", "Romania", "Russia", "Rwanda",
    "S. Georgia and S. Sandwich Islands", "Saint Kitts and Nevis", "Saint Lucia", "San Marino",
    "Sao Tome and Principe", "Saudi Arabia", "Senegal", "Seychelles", "Sierra Leone", "Singapore", "Slovakia",
    "Slovenia", "Solomon Islands", "Somalia", "South Africa", "South Korea", "Spain", "Sri Lanka", "Sudan",
    "Suriname", "Swaziland", "Sweden", "Switzerland", "Syria", "Taiwan", "Tajikistan", "Tanzania", "Thailand",
    "Togo", "Tonga", "Trinidad and Tobago", "Tunisia", "Turkey", "Turkmenistan", "Turks and Caicos Islands",
    "Tuvalu", "U.S. Virgin Islands", "Uganda", "Ukraine", "United Arab Emirates", "United Kingdom", "Uruguay",
    "USA", "Uzbekistan", "Vanuatu", "Venezuela", "Vietnam", "Wake Island", "Western Sahara", "Yemen",
    "Yugoslavia", "Zambia", "Zimbabwe",
};
static_assert(std::size(CountryNames) == LocationCountryCount);

constexpr std::size_t Austria = 14;
constexpr std::size_t Usa = 210;
constexpr std::size_t Zambia = 219;
constexpr std::size_t Zimbabwe = 220;

std::span<const std::uint8_t> EmbeddedBytes()
{
    const auto bytes = Platform::ModuleResources().Find(Platform::ResourceTypeData, LocationTableResourceName);
    return bytes ? *bytes : std::span<const std::uint8_t>();
}

std::size_t CountryIndex(std::string_view name)
{
    return static_cast<std::size_t>(std::find(std::begin(CountryNames), std::end(CountryNames), name) - std::begin(CountryNames));
}

const std::size_t Germany = CountryIndex("Germany");
const std::size_t Italy = CountryIndex("Italy");

std::string Lowered(std::string_view text)
{
    std::string lowered(text);
    for (char &c : lowered)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lowered;
}

bool IsZipCode(std::string_view code)
{
    return code.size() == 5 && std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Two capitals of the country, "XX" or two capitals of a region, four digits.
bool IsLetterCode(std::string_view code)
{
    if (code.size() != 8)
        return false;
    for (std::size_t i = 0; i < 4; ++i) {
        if (code[i] < 'A' || code[i] > 'Z')
            return false;
    }
    for (std::size_t i = 4; i < 8; ++i) {
        if (code[i] < '0' || code[i] > '9')
            return false;
    }
    return true;
}

// Checks one zero-terminated, zero-padded plain ASCII field of at most `maxLength` characters.
::testing::AssertionResult IsPaddedText(const std::uint8_t *field, std::size_t size, std::size_t maxLength)
{
    std::size_t length = 0;
    while (length < size && field[length] != 0) {
        if (field[length] < 0x20 || field[length] > 0x7E)
            return ::testing::AssertionFailure() << "byte " << int(field[length]) << " at " << length;
        ++length;
    }
    if (length == 0 || length > maxLength)
        return ::testing::AssertionFailure() << "length " << length;
    for (std::size_t i = length; i < size; ++i) {
        if (field[i] != 0)
            return ::testing::AssertionFailure() << "non-zero padding at " << i;
    }
    return ::testing::AssertionSuccess();
}

std::uint32_t ReadLittleEndian32(const std::uint8_t *bytes)
{
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

class EmbeddedLocationTableTest : public ::testing::Test {
protected:
    std::span<const std::uint8_t> Bytes = EmbeddedBytes();
    TLocationTable Table = EmbeddedLocationTable(Platform::ModuleResources());
};

// ---- Layout of the module's table ----

TEST_F(EmbeddedLocationTableTest, IsTheTwoRecordArraysBackToBack)
{
    ASSERT_EQ(Bytes.size(), 9724u + 1339744u);
    EXPECT_EQ(LocationCountryCount * LocationCountryRecordSize, 9724u);
    EXPECT_EQ(LocationCityCount * LocationCityRecordSize, 1339744u);
    EXPECT_EQ(Table.CountryCount(), LocationCountryCount);
    EXPECT_EQ(Table.CityCount(), LocationCityCount);
}

TEST_F(EmbeddedLocationTableTest, CountryRecordsHoldNamePaddedAndOwnNumber)
{
    ASSERT_EQ(Bytes.size(), 9724u + 1339744u);
    for (std::size_t i = 0; i < LocationCountryCount; ++i) {
        const std::uint8_t *record = Bytes.data() + i * 44;
        EXPECT_TRUE(IsPaddedText(record, 40, 38)) << "country " << i;
        EXPECT_EQ(ReadLittleEndian32(record + 40), i);
        EXPECT_EQ(std::string_view(reinterpret_cast<const char *>(record)), CountryNames[i]);
        EXPECT_EQ(Table.CountryName(i), CountryNames[i]);
    }
    EXPECT_EQ(Table.CountryName(Austria), "Austria");
    EXPECT_EQ(Table.CountryName(Usa), "USA");
    EXPECT_EQ(Table.CountryName(Zimbabwe), "Zimbabwe");
    EXPECT_EQ(Table.CountryName(48), "Congo, Democratic Republic of");
    EXPECT_EQ(Table.CountryName(106), "Korea, North");
    EXPECT_EQ(Table.CountryName(132), "Micronesia, Federated States of");
    EXPECT_EQ(Table.CountryName(119), "Macedonia, Former Yugoslav Republic of");
    EXPECT_EQ(Table.CountryName(LocationCountryCount), "");
}

TEST_F(EmbeddedLocationTableTest, CityRecordsHoldNameCodeAndCountryPadded)
{
    ASSERT_EQ(Bytes.size(), 9724u + 1339744u);
    const std::uint8_t *cities = Bytes.data() + 9724;
    std::size_t longestName = 0;
    for (std::size_t row = 0; row < LocationCityCount; ++row) {
        const std::uint8_t *record = cities + row * 56;
        ASSERT_TRUE(IsPaddedText(record, 40, 36)) << "row " << row;
        ASSERT_TRUE(IsPaddedText(record + 40, 12, 8)) << "row " << row;
        const std::size_t codeLength = std::strlen(reinterpret_cast<const char *>(record + 40));
        ASSERT_TRUE(codeLength == 5 || codeLength == 8) << "row " << row;
        ASSERT_LT(ReadLittleEndian32(record + 52), LocationCountryCount) << "row " << row;
        ASSERT_EQ(Table.CityName(row), std::string_view(reinterpret_cast<const char *>(record)));
        ASSERT_EQ(Table.CityCode(row), std::string_view(reinterpret_cast<const char *>(record + 40)));
        ASSERT_EQ(Table.CityCountry(row), ReadLittleEndian32(record + 52));
        longestName = std::max(longestName, Table.CityName(row).size());
    }
    EXPECT_LE(longestName, 36u);
}

// ---- Content rules ----

TEST_F(EmbeddedLocationTableTest, CitiesRunByAscendingCountryInCaseBlindOrder)
{
    ASSERT_EQ(Table.CityCount(), LocationCityCount);
    for (std::size_t row = 1; row < Table.CityCount(); ++row) {
        const std::uint32_t previous = *Table.CityCountry(row - 1);
        const std::uint32_t current = *Table.CityCountry(row);
        ASSERT_LE(previous, current) << "row " << row;
        if (previous == current) {
            ASSERT_LT(Lowered(Table.CityName(row - 1)), Lowered(Table.CityName(row))) << "row " << row;
        }
    }
}

TEST_F(EmbeddedLocationTableTest, CountriesHoldTheirNamedNumberOfCities)
{
    std::vector<std::size_t> counts(LocationCountryCount);
    for (std::size_t row = 0; row < Table.CityCount(); ++row)
        ++counts[*Table.CityCountry(row)];
    EXPECT_EQ(counts[CountryIndex("Germany")], 6378u);
    EXPECT_EQ(counts[CountryIndex("Brazil")], 3538u);
    EXPECT_EQ(counts[CountryIndex("USA")], 2414u);
    EXPECT_EQ(counts[CountryIndex("Mexico")], 2321u);
    EXPECT_EQ(counts[CountryIndex("United Kingdom")], 1989u);
    EXPECT_EQ(counts[Austria], 63u);
    EXPECT_EQ(counts[Zambia], 0u);
    EXPECT_EQ(std::count(counts.begin(), counts.end(), 1u), 36);
    EXPECT_EQ(std::count(counts.begin(), counts.end(), 0u), 1) << "only Zambia has no cities";
    std::size_t total = 0;
    for (std::size_t count : counts)
        total += count;
    EXPECT_EQ(total, 23924u);
}

TEST_F(EmbeddedLocationTableTest, UsaRowsCarryZipCodesAndStatesOthersLetterCodes)
{
    std::size_t letterCodes = 0;
    std::size_t zipCodes = 0;
    for (std::size_t row = 0; row < Table.CityCount(); ++row) {
        const std::string_view code = Table.CityCode(row);
        const std::string_view name = Table.CityName(row);
        if (*Table.CityCountry(row) == Usa) {
            ++zipCodes;
            EXPECT_TRUE(IsZipCode(code)) << code;
            ASSERT_GE(name.size(), 5u);
            const std::string_view state = name.substr(name.size() - 4);
            EXPECT_TRUE(state[0] == ',' && state[1] == ' ' && std::isupper(static_cast<unsigned char>(state[2])) &&
                        std::isupper(static_cast<unsigned char>(state[3])))
                << name;
        } else {
            ++letterCodes;
            EXPECT_TRUE(IsLetterCode(code)) << code;
        }
    }
    EXPECT_EQ(letterCodes, 21510u);
    EXPECT_EQ(zipCodes, 2414u);
}

TEST_F(EmbeddedLocationTableTest, SharedCodesAreZipCodesOfTwoToFourUsaRows)
{
    std::map<std::string_view, std::vector<std::uint32_t>> countriesByCode;
    for (std::size_t row = 0; row < Table.CityCount(); ++row)
        countriesByCode[Table.CityCode(row)].push_back(*Table.CityCountry(row));
    std::size_t sharedZipCodes = 0;
    for (const auto &[code, countries] : countriesByCode) {
        EXPECT_EQ(std::set<std::uint32_t>(countries.begin(), countries.end()).size(), 1u) << code << " is in two countries";
        if (countries.size() > 1) {
            EXPECT_TRUE(IsZipCode(code)) << code << " is a letter code on " << countries.size() << " rows";
            EXPECT_LE(countries.size(), 4u) << code;
            ++sharedZipCodes;
        }
    }
    EXPECT_EQ(sharedZipCodes, 347u);
    EXPECT_EQ(countriesByCode["60191"].size(), 3u);
    EXPECT_EQ(countriesByCode["20001"].size(), 1u);
}

TEST_F(EmbeddedLocationTableTest, OnlyTheKnownRowsCarryANeighboursPrefix)
{
    // The prefix most rows of each country carry is its own.
    std::vector<std::map<std::string, std::size_t>> prefixes(LocationCountryCount);
    for (std::size_t row = 0; row < Table.CityCount(); ++row) {
        if (*Table.CityCountry(row) != Usa)
            ++prefixes[*Table.CityCountry(row)][std::string(Table.CityCode(row).substr(0, 4))];
    }
    std::map<std::string, std::size_t> ownerOfPrefix;
    std::map<std::pair<std::size_t, std::string>, std::size_t> borrowed;
    for (std::size_t country = 0; country < LocationCountryCount; ++country) {
        if (prefixes[country].empty())
            continue;
        const auto own = std::max_element(prefixes[country].begin(), prefixes[country].end(),
                                          [](const auto &a, const auto &b) { return a.second < b.second; });
        EXPECT_EQ(ownerOfPrefix.count(own->first.substr(0, 2)), 0u) << own->first;
        ownerOfPrefix[own->first.substr(0, 2)] = country;
        for (const auto &[prefix, count] : prefixes[country]) {
            if (prefix != own->first)
                borrowed[{country, prefix}] = count;
        }
    }
    const std::map<std::pair<std::size_t, std::string>, std::size_t> expected = {
        {{Italy, "AUXX"}, 62}, {{Austria, "GMXX"}, 2}, {{Germany, "EZXX"}, 1}};
    EXPECT_EQ(borrowed, expected);
    EXPECT_EQ(ownerOfPrefix["AU"], Austria);
    EXPECT_EQ(ownerOfPrefix["GM"], Germany);
    EXPECT_EQ(ownerOfPrefix["EZ"], CountryIndex("Czech Republic"));
}

TEST_F(EmbeddedLocationTableTest, TellingRowsAreInTheirPlaces)
{
    struct TTellingRow {
        std::size_t Row;
        const char *Name;
        const char *Code;
        std::uint32_t Country;
    };
    const TTellingRow rows[] = {
        {0, "Bost/Laskar", "AFXX0005", 0},
        {1693, "Aigen Im Ennstal", "AUXX0034", 14},
        {21349, "Abbeville, LA", "70510", 210},
        {21356, "Addison, IL", "60191", 210},
        {21537, "Bensenville, IL", "60191", 210},
        {23617, "Washington, DC", "20001", 210},
        {23728, "Wood Dale, IL", "60191", 210},
        {23923, "Victoria Falls", "ZIXX0007", 220},
    };
    for (const TTellingRow &row : rows) {
        EXPECT_EQ(Table.CityName(row.Row), row.Name) << "row " << row.Row;
        EXPECT_EQ(Table.CityCode(row.Row), row.Code) << "row " << row.Row;
        EXPECT_EQ(Table.CityCountry(row.Row), row.Country) << "row " << row.Row;
    }
    // The first rows of Austria and the USA begin their runs.
    EXPECT_EQ(Table.CityCountry(1692), 13u);
    EXPECT_EQ(Table.CityCountry(21348), 209u);
}

// ---- The Weather tab's lookups on the module's table ----

TEST_F(EmbeddedLocationTableTest, DefaultCodeSelectsUsaAndWashington)
{
    const auto country = Table.CountryOfCode("20001");
    ASSERT_EQ(country, Usa);
    EXPECT_EQ(Table.CountryName(*country), "USA");
    const auto cities = Table.CitiesOf(*country);
    ASSERT_EQ(cities.size(), 2414u);
    const auto position = Table.PositionOfCode(*country, "20001");
    ASSERT_EQ(position, 2268u);
    EXPECT_EQ(cities[*position].Name, "Washington, DC");
    EXPECT_EQ(cities[*position].Code, "20001");
    EXPECT_EQ(cities.front().Name, "Abbeville, LA");
}

TEST_F(EmbeddedLocationTableTest, SharedZipCodeSelectsItsLastRow)
{
    const auto country = Table.CountryOfCode("60191");
    ASSERT_EQ(country, Usa);
    const auto cities = Table.CitiesOf(Usa);
    const auto position = Table.PositionOfCode(Usa, "60191");
    ASSERT_TRUE(position.has_value());
    EXPECT_EQ(cities[*position].Name, "Wood Dale, IL");
    EXPECT_EQ(cities[7].Name, "Addison, IL");
    EXPECT_EQ(cities[188].Name, "Bensenville, IL");
}

TEST_F(EmbeddedLocationTableTest, ZambiaHasNoCities)
{
    EXPECT_EQ(Table.CountryName(Zambia), "Zambia");
    EXPECT_TRUE(Table.CitiesOf(Zambia).empty());
}

TEST_F(EmbeddedLocationTableTest, AustriaListsSixtyThreeCitiesFromAigen)
{
    const auto cities = Table.CitiesOf(Austria);
    ASSERT_EQ(cities.size(), 63u);
    EXPECT_EQ(cities[0].Name, "Aigen Im Ennstal");
    EXPECT_EQ(cities[0].Code, "AUXX0034");
    EXPECT_EQ(Table.CountryOfCode("AUXX0034"), Austria);
    EXPECT_EQ(Table.PositionOfCode(Austria, "AUXX0034"), 0u);
}

TEST_F(EmbeddedLocationTableTest, EveryCountryListsExactlyItsOwnRowsInTableOrder)
{
    std::size_t row = 0;
    for (std::size_t country = 0; country < LocationCountryCount; ++country) {
        for (const TLocationCityEntry &city : Table.CitiesOf(country)) {
            ASSERT_EQ(city.Name, Table.CityName(row));
            ASSERT_EQ(city.Code, Table.CityCode(row));
            ++row;
        }
    }
    EXPECT_EQ(row, LocationCityCount);
    EXPECT_TRUE(Table.CitiesOf(LocationCountryCount).empty());
}

TEST_F(EmbeddedLocationTableTest, UnknownCodesMatchNothing)
{
    for (const char *code : {"XXXX0000", "", "auxx0034", "AUXX003", "AUXX00341", "2000", "200011", " 20001"}) {
        EXPECT_FALSE(Table.CountryOfCode(code).has_value()) << '"' << code << '"';
        EXPECT_FALSE(Table.PositionOfCode(Usa, code).has_value()) << '"' << code << '"';
        EXPECT_FALSE(Table.PositionOfCode(Austria, code).has_value()) << '"' << code << '"';
    }
    // A code is found only in its own country's list.
    EXPECT_FALSE(Table.PositionOfCode(Austria, "20001").has_value());
    EXPECT_FALSE(Table.PositionOfCode(Zimbabwe, "AUXX0034").has_value());
    EXPECT_FALSE(Table.PositionOfCode(LocationCountryCount, "20001").has_value());
}

TEST_F(EmbeddedLocationTableTest, LookupsViewTheModuleBytesInPlace)
{
    ASSERT_FALSE(Bytes.empty());
    const std::string_view name = Table.CityName(23617);
    const auto *first = reinterpret_cast<const char *>(Bytes.data());
    EXPECT_EQ(name.data(), first + 9724 + 23617 * 56);
    EXPECT_EQ(Table.CitiesOf(Zimbabwe).back().Code.data(), first + 9724 + 23923 * 56 + 40);
}

// ---- Hand-made tables ----

struct TCityRow {
    std::string Name;
    std::string Code;
    std::uint32_t Country;
};

void PutText(std::vector<std::uint8_t> &bytes, std::size_t offset, std::string_view text)
{
    std::copy(text.begin(), text.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

void PutLittleEndian32(std::vector<std::uint8_t> &bytes, std::size_t offset, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::vector<std::uint8_t> BuildTable(const std::vector<std::string> &countries, const std::vector<TCityRow> &cities)
{
    std::vector<std::uint8_t> bytes(countries.size() * 44 + cities.size() * 56);
    for (std::size_t i = 0; i < countries.size(); ++i) {
        PutText(bytes, i * 44, countries[i]);
        PutLittleEndian32(bytes, i * 44 + 40, static_cast<std::uint32_t>(i));
    }
    for (std::size_t i = 0; i < cities.size(); ++i) {
        const std::size_t offset = countries.size() * 44 + i * 56;
        PutText(bytes, offset, cities[i].Name);
        PutText(bytes, offset + 40, cities[i].Code);
        PutLittleEndian32(bytes, offset + 52, cities[i].Country);
    }
    return bytes;
}

class HandMadeLocationTableTest : public ::testing::Test {
protected:
    std::vector<std::uint8_t> Bytes = BuildTable({"Eastland", "Empty", "Westland"},
                                                 {{"Ash", "EAXX0002", 0},
                                                  {"Birch", "11111", 0},
                                                  {"Cedar", "EAXX0001", 0},
                                                  {"Dale", "11111", 0},
                                                  {"Elm", "22222", 2},
                                                  {"Fir", "11111", 2},
                                                  {"Gorse", "22222", 2}});
    TLocationTable Table{Bytes, 3};
};

TEST_F(HandMadeLocationTableTest, CountriesAndCitiesComeInTableOrder)
{
    EXPECT_EQ(Table.CountryCount(), 3u);
    EXPECT_EQ(Table.CityCount(), 7u);
    EXPECT_EQ(Table.CountryName(2), "Westland");
    const auto west = Table.CitiesOf(2);
    ASSERT_EQ(west.size(), 3u);
    EXPECT_EQ(west[0].Name, "Elm");
    EXPECT_EQ(west[1].Code, "11111");
    EXPECT_EQ(west[2].Name, "Gorse");
    EXPECT_TRUE(Table.CitiesOf(1).empty());
    EXPECT_TRUE(Table.CitiesOf(3).empty());
}

TEST_F(HandMadeLocationTableTest, CountryOfCodeTakesTheFirstRow)
{
    // "11111" is on rows of both countries here; the first row in table order decides.
    EXPECT_EQ(Table.CountryOfCode("11111"), 0u);
    EXPECT_EQ(Table.CountryOfCode("22222"), 2u);
    EXPECT_EQ(Table.CountryOfCode("EAXX0001"), 0u);
    EXPECT_FALSE(Table.CountryOfCode("eaxx0001").has_value());
}

TEST_F(HandMadeLocationTableTest, PositionOfCodeTakesTheLastRowWithinTheCountry)
{
    EXPECT_EQ(Table.PositionOfCode(0, "11111"), 3u);
    EXPECT_EQ(Table.PositionOfCode(2, "11111"), 1u);
    EXPECT_EQ(Table.PositionOfCode(2, "22222"), 2u);
    EXPECT_EQ(Table.PositionOfCode(0, "EAXX0002"), 0u);
    EXPECT_FALSE(Table.PositionOfCode(1, "11111").has_value());
    EXPECT_FALSE(Table.PositionOfCode(2, "EAXX0001").has_value());
}

TEST(DamagedLocationTableTest, SizeNotOfWholeRecordsGivesAnEmptyTable)
{
    std::vector<std::uint8_t> bytes = BuildTable({"Eastland"}, {{"Ash", "EAXX0001", 0}});
    bytes.pop_back();
    const TLocationTable truncated(bytes, 1);
    EXPECT_EQ(truncated.CountryCount(), 0u);
    EXPECT_EQ(truncated.CityCount(), 0u);
    EXPECT_EQ(truncated.CountryName(0), "");
    EXPECT_FALSE(truncated.CountryOfCode("EAXX0001").has_value());
    EXPECT_TRUE(truncated.CitiesOf(0).empty());

    const TLocationTable tooShortForCountries(std::span<const std::uint8_t>(bytes.data(), 40), 1);
    EXPECT_EQ(tooShortForCountries.CountryCount(), 0u);
    const TLocationTable nothing(std::span<const std::uint8_t>(), 221);
    EXPECT_EQ(nothing.CountryCount(), 0u);
    EXPECT_EQ(nothing.CityName(0), "");
    EXPECT_EQ(nothing.CityCountry(0), std::nullopt);
}

TEST(DamagedLocationTableTest, UnterminatedFieldsStopAtTheirRecordsEdge)
{
    const std::string fullName(40, 'N');
    const std::string fullCode(12, 'C');
    std::vector<std::uint8_t> bytes = BuildTable({std::string(40, 'L')}, {{fullName, fullCode, 0}, {"Next", "EAXX0001", 0}});
    const TLocationTable table(bytes, 1);
    EXPECT_EQ(table.CountryName(0), std::string(40, 'L'));
    const auto cities = table.CitiesOf(0);
    ASSERT_EQ(cities.size(), 2u);
    EXPECT_EQ(cities[0].Name, fullName);
    EXPECT_EQ(cities[0].Code, fullCode);
    EXPECT_EQ(table.PositionOfCode(0, fullCode), 0u);
    EXPECT_EQ(cities[1].Name, "Next");
}

TEST(DamagedLocationTableTest, RowsOfUnknownCountriesAreNeverSelected)
{
    const std::vector<std::uint8_t> bytes = BuildTable({"Eastland"}, {{"Stray", "33333", 7}, {"Ash", "33333", 0}});
    const TLocationTable table(bytes, 1);
    EXPECT_EQ(table.CountryOfCode("33333"), 0u);
    EXPECT_EQ(table.PositionOfCode(0, "33333"), 0u);
    EXPECT_FALSE(table.PositionOfCode(7, "33333").has_value());
    EXPECT_TRUE(table.CitiesOf(7).empty());
    ASSERT_EQ(table.CitiesOf(0).size(), 1u);
}

TEST(EmbeddedLocationTableLookupTest, ModuleWithoutTheResourceGivesAnEmptyTable)
{
    class TNoResources final : public Platform::IModuleResources {
    public:
        std::optional<std::span<const std::uint8_t>> Find(std::string_view, std::string_view) const override { return std::nullopt; }
    };
    const TLocationTable table = EmbeddedLocationTable(TNoResources());
    EXPECT_EQ(table.CountryCount(), 0u);
    EXPECT_EQ(table.CityCount(), 0u);
    EXPECT_FALSE(table.CountryOfCode("20001").has_value());
}

// ---- Coordinates of the codes ----

TEST_F(EmbeddedLocationTableTest, EveryOfferedCodeHasCoordinatesOnTheGlobe)
{
    const TLocationCoordinates coordinates = EmbeddedLocationCoordinates(Platform::ModuleResources());
    std::set<std::string_view> codes;
    for (std::size_t row = 0; row < Table.CityCount(); ++row)
        codes.insert(Table.CityCode(row));
    EXPECT_EQ(coordinates.Count(), codes.size()) << "one record per code, and none for another code";
    std::size_t missing = 0;
    std::size_t offGlobe = 0;
    for (std::string_view code : codes) {
        const auto place = coordinates.Find(code);
        missing += place ? 0 : 1;
        offGlobe += place && (std::abs(place->Latitude) > 900000 || std::abs(place->Longitude) > 1800000) ? 1 : 0;
    }
    EXPECT_EQ(missing, 0u);
    EXPECT_EQ(offGlobe, 0u);
}

TEST_F(EmbeddedLocationTableTest, CodesFindTheirPlacesAndNothingElseMatches)
{
    const TLocationCoordinates coordinates = EmbeddedLocationCoordinates(Platform::ModuleResources());
    struct TCase {
        const char *Code;
        std::int32_t Latitude;
        std::int32_t Longitude;
        std::uint32_t GeoNamesId;
    };
    // Washington, Lashkar Gah and London; then the first and the last record.
    for (const TCase &c : {TCase{"20001", 388951, -770364, 4140963}, TCase{"AFXX0005", 315938, 643716, 1134720},
                           TCase{"UKXX0001", 515085, -1257, 2643743}}) {
        const auto place = coordinates.Find(c.Code);
        ASSERT_TRUE(place) << c.Code;
        EXPECT_EQ(place->Latitude, c.Latitude) << c.Code;
        EXPECT_EQ(place->Longitude, c.Longitude) << c.Code;
        EXPECT_EQ(place->GeoNamesId, c.GeoNamesId) << c.Code;
    }
    EXPECT_TRUE(coordinates.Find("01001") && coordinates.Find("ZIXX0010")) << "the search reaches both ends";
    for (const char *unknown : {"", "afxx0005", "AFXX000", "AFXX00050", "00000", "ZZZZ9999", "USOR0338"})
        EXPECT_FALSE(coordinates.Find(unknown)) << unknown;
}

TEST(LocationCoordinatesTest, BytesThatAreNotWholeRecordsHoldNoPlaces)
{
    std::vector<std::uint8_t> record(LocationCoordinatesRecordSize, 0);
    std::memcpy(record.data(), "EAXX0001", 8);
    record[12] = 0x10; // latitude 16, longitude -1, no GeoNames id
    std::fill(record.begin() + 16, record.begin() + 20, 0xFF);
    EXPECT_EQ(TLocationCoordinates(record).Find("EAXX0001")->Longitude, -1);
    EXPECT_EQ(TLocationCoordinates(record).Find("EAXX0001")->Latitude, 16);
    record.push_back(0);
    EXPECT_EQ(TLocationCoordinates(record).Count(), 0u);
    EXPECT_FALSE(TLocationCoordinates(record).Find("EAXX0001"));
    class TNoResources final : public Platform::IModuleResources {
    public:
        std::optional<std::span<const std::uint8_t>> Find(std::string_view, std::string_view) const override { return std::nullopt; }
    };
    EXPECT_FALSE(EmbeddedLocationCoordinates(TNoResources()).Find("20001"));
}

TEST(LocationCoordinatesTest, DegreesAreWrittenWithFourDecimalsAndAPoint)
{
    const std::pair<std::int32_t, const char *> cases[] = {
        {388951, "38.8951"}, {-770364, "-77.0364"}, {-500, "-0.0500"}, {0, "0.0000"}, {1800000, "180.0000"}, {INT32_MIN, "-214748.3648"},
    };
    for (const auto &[units, text] : cases)
        EXPECT_EQ(DegreesText(units), text) << units;
}

} // namespace
} // namespace Halcyra
