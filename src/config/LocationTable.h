// The location table behind the Country and City lists of the weather settings: 221 country
// records followed by 23,924 city records with their weather codes, read in place from the
// module's read-only copy, and the four lookups the Weather tab performs on it. Beside it, the
// coordinates of every code, by which the weather service and the forecast pages are asked.
#pragma once

#include "platform/Resources.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Halcyra {

// The layout of the stored table. Text fields are zero-terminated and zero-padded plain ASCII,
// integers 32-bit little-endian; the city records begin right after the last country record.
//   TLocationCountry: Name[40], Number (its own position).
//   TLocationCity:    Name[40], Code[12], Country (index of its country record).
inline constexpr std::size_t LocationCountryRecordSize = 44;
inline constexpr std::size_t LocationCountryNameSize = 40;
inline constexpr std::size_t LocationCountryNumberOffset = 40;
inline constexpr std::size_t LocationCityRecordSize = 56;
inline constexpr std::size_t LocationCityNameSize = 40;
inline constexpr std::size_t LocationCityCodeOffset = 40;
inline constexpr std::size_t LocationCityCodeSize = 12;
inline constexpr std::size_t LocationCityCountryOffset = 52;
inline constexpr std::size_t LocationCountryCount = 221;
inline constexpr std::size_t LocationCityCount = 23924;

// The resource the table is linked in as (RCDATA).
inline constexpr std::string_view LocationTableResourceName = "LOCATIONTABLE";

// One row of a country's City list: its name and its weather code, both viewing the table.
struct TLocationCityEntry {
    std::string_view Name;
    std::string_view Code;
};

// A read-only view of a location table; it never copies the records. The bytes must outlive it.
// A table whose size is not that of `countryCount` country records plus whole city records is
// treated as empty, and no field is ever read past its record, so a damaged table gives empty
// lists rather than a fault.
class TLocationTable {
public:
    // An empty table: no countries, no cities.
    TLocationTable() = default;
    explicit TLocationTable(std::span<const std::uint8_t> bytes, std::size_t countryCount = LocationCountryCount);

    // Number of country records (221 for the module's table).
    std::size_t CountryCount() const { return FCountryCount; }
    // Name of the country at `index`; empty when there is none.
    std::string_view CountryName(std::size_t index) const;

    std::size_t CityCount() const { return FCityCount; }
    // The fields of city record `row`; empty (nullopt) when there is no such row.
    std::string_view CityName(std::size_t row) const;
    std::string_view CityCode(std::size_t row) const;
    std::optional<std::uint32_t> CityCountry(std::size_t row) const;

    // The cities of a country, in table order; empty for an unknown country.
    std::vector<TLocationCityEntry> CitiesOf(std::size_t country) const;
    // The country of the first row, in table order, whose code equals `code` exactly (case counts);
    // nullopt when no row of a known country has it.
    std::optional<std::size_t> CountryOfCode(std::string_view code) const;
    // The position within the country's City list of the last of its rows whose code equals
    // `code` exactly; nullopt when none of its rows has it.
    std::optional<std::size_t> PositionOfCode(std::size_t country, std::string_view code) const;

private:
    const std::uint8_t *CountryRecord(std::size_t index) const;
    const std::uint8_t *CityRecord(std::size_t row) const;

    std::span<const std::uint8_t> FBytes;
    std::size_t FCountryCount = 0;
    std::size_t FCityCount = 0;
};

// The table linked into the module as the RCDATA resource "LOCATIONTABLE"; an empty table when
// the module has none.
TLocationTable EmbeddedLocationTable(const Platform::IModuleResources &resources);

// Where the place of a weather code lies: latitude and longitude in ten-thousandths of a degree
// (north and east positive), and its GeoNames id, 0 when it has none.
struct TPlaceCoordinates {
    std::int32_t Latitude = 0;
    std::int32_t Longitude = 0;
    std::uint32_t GeoNamesId = 0;
};

// The layout of the stored coordinates: one record per code, in byte order of the codes.
//   TLocationCoordinates record: Code[12], Latitude, Longitude (signed), GeoNamesId (unsigned).
inline constexpr std::size_t LocationCoordinatesRecordSize = 24;
inline constexpr std::size_t LocationCoordinatesCodeSize = 12;
inline constexpr std::int32_t CoordinateUnitsPerDegree = 10000;
inline constexpr std::string_view LocationCoordinatesResourceName = "LOCATIONCOORDS";

// A read-only view of the stored coordinates; the bytes must outlive it. Bytes that are not whole
// records are treated as no records at all.
class TLocationCoordinates {
public:
    TLocationCoordinates() = default;
    explicit TLocationCoordinates(std::span<const std::uint8_t> bytes);

    std::size_t Count() const { return FBytes.size() / LocationCoordinatesRecordSize; }
    // The place of `code` (exact, case counts); nullopt for a code with no record.
    std::optional<TPlaceCoordinates> Find(std::string_view code) const;

private:
    std::span<const std::uint8_t> FBytes;
};

// The coordinates linked into the module as the RCDATA resource "LOCATIONCOORDS"; none when the
// module has none.
TLocationCoordinates EmbeddedLocationCoordinates(const Platform::IModuleResources &resources);

// A coordinate in degrees with four decimals and a point whatever the locale: 389511 reads
// "38.9511", -500 "-0.0500".
std::string DegreesText(std::int32_t units);

} // namespace Halcyra
