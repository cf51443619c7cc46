// Checks the location coordinates against the location table they go with: one record for every
// code the table offers and for no other, codes in byte order, positions on the globe, and a
// capital on each continent (and ZIP code 20001) within a few kilometres of where it is.
// `node VerifyLocationCoordinates.js [table] [coordinates]` checks two files on their own.
'use strict';

const fs = require('fs');
const path = require('path');

const { Parse } = require('./VerifyLocationTable');
const { ParseCoordinates, CompareCodes, Scale } = require('./LocationCoordinates');
const { DistanceMetres } = require('./ZipCodes');

// Where these places are, from atlases rather than from the table's sources, and the GeoNames ids
// of their entries.
const WellKnownPlaces = [
    { country: 'Kenya', name: 'Nairobi', latitude: -1.2864, longitude: 36.8172, geonames: 184745 },
    { country: 'Japan', name: 'Tokyo', latitude: 35.6762, longitude: 139.6503, geonames: 1850147 },
    { country: 'France', name: 'Paris', latitude: 48.8566, longitude: 2.3522, geonames: 2988507 },
    { country: 'Argentina', name: 'Buenos Aires', latitude: -34.6037, longitude: -58.3816, geonames: 3435910 },
    { country: 'Australia', name: 'Canberra', latitude: -35.2809, longitude: 149.1300, geonames: 2172517 },
    { country: 'USA', name: 'Washington, DC', code: '20001', latitude: 38.9072, longitude: -77.0369, geonames: 4140963 },
    { country: 'Antarctica', name: 'McMurdo Station', latitude: -77.8419, longitude: 166.6863 },
];
const MaxDistanceMetres = 5000;

function Check(condition, message) {
    if (!condition)
        throw new Error('location coordinates: ' + message);
}

function VerifyCoordinates(tableBytes, coordinateBytes) {
    const { countries, rows } = Parse(tableBytes);
    const records = ParseCoordinates(coordinateBytes);
    const byCode = new Map();
    records.forEach((record, index) => {
        Check(/^[\x21-\x7E]{1,11}$/.test(record.Code), `code "${record.Code}" is not plain ASCII`);
        if (index > 0)
            Check(CompareCodes(records[index - 1].Code, record.Code) < 0, `${records[index - 1].Code} and ${record.Code} are out of order`);
        Check(Math.abs(record.Latitude) <= 90 * Scale && Math.abs(record.Longitude) <= 180 * Scale,
            `${record.Code} lies at ${record.Latitude}, ${record.Longitude}`);
        byCode.set(record.Code, record);
    });
    const offered = new Set(rows.map((row) => row.Code));
    for (const code of offered)
        Check(byCode.has(code), `the offered code ${code} has no coordinates`);
    Check(records.length === offered.size, `${records.length - offered.size} records for codes the table does not offer`);

    for (const place of WellKnownPlaces) {
        const country = countries.indexOf(place.country);
        const row = rows.find((entry) => entry.Country === country && entry.Name === place.name);
        Check(row !== undefined, `${place.country} lists no ${place.name}`);
        Check(place.code === undefined || row.Code === place.code, `${place.name} has the code ${row.Code}`);
        const record = byCode.get(row.Code);
        const distance = DistanceMetres(record.Latitude / Scale, record.Longitude / Scale, place.latitude, place.longitude);
        Check(distance <= MaxDistanceMetres, `${place.name} (${row.Code}) lies ${distance} m from where it is`);
        Check(place.geonames === undefined || record.GeoNamesId === place.geonames, `${place.name} has the GeoNames id ${record.GeoNamesId}`);
    }
    return records;
}

module.exports = { VerifyCoordinates };

if (require.main === module) {
    const assets = path.join(__dirname, '..', '..', 'assets');
    const table = process.argv[2] ?? path.join(assets, 'LocationTable.dat');
    const coordinates = process.argv[3] ?? path.join(assets, 'LocationCoordinates.dat');
    const records = VerifyCoordinates(fs.readFileSync(table), fs.readFileSync(coordinates));
    console.log(`${coordinates}: ${records.length} codes, every rule holds`);
}
