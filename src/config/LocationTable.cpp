// Lookups over the location table, read straight from its records: every lookup is one linear
// scan of the city rows, as the Weather tab needs no index for 23,924 rows.
#include "config/LocationTable.h"

#include <cstdlib>
#include <cstring>

namespace Halcyra {
namespace {

// A zero-terminated text field that may fill its whole width: the view stops at the first zero
// byte or at the end of the field, never beyond.
std::string_view TextField(const std::uint8_t *field, std::size_t size)
{
    const void *zero = std::memchr(field, 0, size);
    const std::size_t length = zero != nullptr ? static_cast<std::size_t>(static_cast<const std::uint8_t *>(zero) - field) : size;
    return std::string_view(reinterpret_cast<const char *>(field), length);
}

// Assembled byte by byte, so the records need no alignment and the host's byte order is moot.
std::uint32_t LittleEndian32(const std::uint8_t *bytes)
{
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

} // namespace

TLocationTable::TLocationTable(std::span<const std::uint8_t> bytes, std::size_t countryCount)
{
    if (countryCount > bytes.size() / LocationCountryRecordSize)
        return;
    const std::size_t cityBytes = bytes.size() - countryCount * LocationCountryRecordSize;
    if (cityBytes % LocationCityRecordSize != 0)
        return;
    FBytes = bytes;
    FCountryCount = countryCount;
    FCityCount = cityBytes / LocationCityRecordSize;
}

const std::uint8_t *TLocationTable::CountryRecord(std::size_t index) const
{
    return index < FCountryCount ? FBytes.data() + index * LocationCountryRecordSize : nullptr;
}

const std::uint8_t *TLocationTable::CityRecord(std::size_t row) const
{
    return row < FCityCount ? FBytes.data() + FCountryCount * LocationCountryRecordSize + row * LocationCityRecordSize : nullptr;
}

std::string_view TLocationTable::CountryName(std::size_t index) const
{
    const std::uint8_t *record = CountryRecord(index);
    return record != nullptr ? TextField(record, LocationCountryNameSize) : std::string_view();
}

std::string_view TLocationTable::CityName(std::size_t row) const
{
    const std::uint8_t *record = CityRecord(row);
    return record != nullptr ? TextField(record, LocationCityNameSize) : std::string_view();
}

std::string_view TLocationTable::CityCode(std::size_t row) const
{
    const std::uint8_t *record = CityRecord(row);
    return record != nullptr ? TextField(record + LocationCityCodeOffset, LocationCityCodeSize) : std::string_view();
}

std::optional<std::uint32_t> TLocationTable::CityCountry(std::size_t row) const
{
    const std::uint8_t *record = CityRecord(row);
    if (record == nullptr)
        return std::nullopt;
    return LittleEndian32(record + LocationCityCountryOffset);
}

std::vector<TLocationCityEntry> TLocationTable::CitiesOf(std::size_t country) const
{
    std::vector<TLocationCityEntry> cities;
    if (country >= FCountryCount)
        return cities;
    for (std::size_t row = 0; row < FCityCount; ++row) {
        if (*CityCountry(row) == country)
            cities.push_back({CityName(row), CityCode(row)});
    }
    return cities;
}

std::optional<std::size_t> TLocationTable::CountryOfCode(std::string_view code) const
{
    for (std::size_t row = 0; row < FCityCount; ++row) {
        const std::uint32_t country = *CityCountry(row);
        // A row naming no country of the table cannot be selected, so it does not count as a match.
        if (country < FCountryCount && CityCode(row) == code)
            return country;
    }
    return std::nullopt;
}

std::optional<std::size_t> TLocationTable::PositionOfCode(std::size_t country, std::string_view code) const
{
    std::optional<std::size_t> found;
    if (country >= FCountryCount)
        return found;
    std::size_t position = 0;
    for (std::size_t row = 0; row < FCityCount; ++row) {
        if (*CityCountry(row) != country)
            continue;
        // Later rows with the same code overwrite earlier ones: the last one is selected.
        if (CityCode(row) == code)
            found = position;
        ++position;
    }
    return found;
}

TLocationTable EmbeddedLocationTable(const Platform::IModuleResources &resources)
{
    const auto bytes = resources.Find(Platform::ResourceTypeData, LocationTableResourceName);
    return bytes ? TLocationTable(*bytes) : TLocationTable();
}

TLocationCoordinates::TLocationCoordinates(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() % LocationCoordinatesRecordSize == 0)
        FBytes = bytes;
}

std::optional<TPlaceCoordinates> TLocationCoordinates::Find(std::string_view code) const
{
    // The records are in byte order of their codes: a binary search over the record indices.
    const auto codeOf = [this](std::size_t index) {
        return TextField(FBytes.data() + index * LocationCoordinatesRecordSize, LocationCoordinatesCodeSize);
    };
    std::size_t low = 0;
    std::size_t high = Count();
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (codeOf(middle) < code)
            low = middle + 1;
        else
            high = middle;
    }
    if (low == Count() || codeOf(low) != code)
        return std::nullopt;
    const std::uint8_t *record = FBytes.data() + low * LocationCoordinatesRecordSize + LocationCoordinatesCodeSize;
    return TPlaceCoordinates{static_cast<std::int32_t>(LittleEndian32(record)), static_cast<std::int32_t>(LittleEndian32(record + 4)),
                             LittleEndian32(record + 8)};
}

TLocationCoordinates EmbeddedLocationCoordinates(const Platform::IModuleResources &resources)
{
    const auto bytes = resources.Find(Platform::ResourceTypeData, LocationCoordinatesResourceName);
    return bytes ? TLocationCoordinates(*bytes) : TLocationCoordinates();
}

std::string DegreesText(std::int32_t units)
{
    // Whole-number arithmetic: a locale's decimal comma never reaches the service's query.
    const std::int64_t magnitude = std::abs(static_cast<std::int64_t>(units));
    const std::string fraction = std::to_string(magnitude % CoordinateUnitsPerDegree + CoordinateUnitsPerDegree).substr(1);
    return (units < 0 ? "-" : "") + std::to_string(magnitude / CoordinateUnitsPerDegree) + "." + fraction;
}

} // namespace Halcyra
