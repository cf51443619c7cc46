// Checks a built location table byte by byte against every rule the settings dialog relies on,
// so that the generator never writes a table that breaks one. `node VerifyLocationTable.js [file]`
// checks a file on its own.
'use strict';

const fs = require('fs');
const path = require('path');

const CountryCount = 221;
const CountryRecordSize = 44;
const CityRecordSize = 56;
const CityCount = 23924;

const ExpectedRows = [
    [0, 'Bost/Laskar', 'AFXX0005', 0],
    [1693, 'Aigen Im Ennstal', 'AUXX0034', 14],
    [21349, 'Abbeville, LA', '70510', 210],
    [21356, 'Addison, IL', '60191', 210],
    [21537, 'Bensenville, IL', '60191', 210],
    [23617, 'Washington, DC', '20001', 210],
    [23728, 'Wood Dale, IL', '60191', 210],
    [23923, 'Victoria Falls', 'ZIXX0007', 220],
];
const ExpectedCounts = { Germany: 6378, Brazil: 3538, USA: 2414, Mexico: 2321, 'United Kingdom': 1989, Austria: 63, Zambia: 0 };

function Check(condition, message) {
    if (!condition)
        throw new Error('location table: ' + message);
}

// A zero-terminated, zero-padded plain ASCII text field.
function ReadText(bytes, offset, size, maxLength, what) {
    const end = bytes.indexOf(0, offset);
    Check(end >= offset && end < offset + size, `${what} at ${offset} is not zero-terminated`);
    for (let i = end; i < offset + size; ++i)
        Check(bytes[i] === 0, `${what} at ${offset} is not zero-padded`);
    const text = bytes.toString('latin1', offset, end);
    Check(/^[\x20-\x7E]+$/.test(text), `${what} "${text}" is not plain ASCII`);
    Check(text.length <= maxLength, `${what} "${text}" is longer than ${maxLength}`);
    return text;
}

function Parse(bytes) {
    Check(bytes.length === CountryCount * CountryRecordSize + CityCount * CityRecordSize, `size ${bytes.length}`);
    const countries = [];
    for (let i = 0; i < CountryCount; ++i) {
        const offset = i * CountryRecordSize;
        countries.push(ReadText(bytes, offset, 40, 38, 'country name'));
        Check(bytes.readUInt32LE(offset + 40) === i, `country ${i} has number ${bytes.readUInt32LE(offset + 40)}`);
    }
    const rows = [];
    for (let i = 0; i < CityCount; ++i) {
        const offset = CountryCount * CountryRecordSize + i * CityRecordSize;
        rows.push({
            Name: ReadText(bytes, offset, 40, 36, 'city name'),
            Code: ReadText(bytes, offset + 40, 12, 8, 'code'),
            Country: bytes.readUInt32LE(offset + 52),
        });
    }
    return { countries, rows };
}

function Verify(bytes) {
    const { countries, rows } = Parse(bytes);
    const usa = countries.indexOf('USA');
    Check(usa === 210 && countries[219] === 'Zambia' && countries[220] === 'Zimbabwe', 'country order');

    const counts = new Array(CountryCount).fill(0);
    let letterCodes = 0;
    let zipCodes = 0;
    const codeCountry = new Map();
    const zipRows = new Map();
    const seenLetterCodes = new Set();
    const borrowed = new Map();
    rows.forEach((row, i) => {
        Check(row.Country < CountryCount, `row ${i} country ${row.Country}`);
        if (i > 0) {
            const previous = rows[i - 1];
            Check(previous.Country <= row.Country, `row ${i} breaks the country runs`);
            if (previous.Country === row.Country)
                Check(previous.Name.toLowerCase() < row.Name.toLowerCase(), `rows ${i - 1} and ${i} are not in order: ${previous.Name} / ${row.Name}`);
        }
        ++counts[row.Country];
        if (row.Country === usa) {
            Check(/^\d{5}$/.test(row.Code), `USA row ${i} code ${row.Code}`);
            Check(/^.+, [A-Z]{2}$/.test(row.Name), `USA row ${i} name ${row.Name}`);
            ++zipCodes;
            zipRows.set(row.Code, (zipRows.get(row.Code) ?? 0) + 1);
        } else {
            Check(/^[A-Z]{2}(XX|[A-Z]{2})\d{4}$/.test(row.Code), `row ${i} code ${row.Code}`);
            Check(!seenLetterCodes.has(row.Code), `code ${row.Code} occurs twice`);
            seenLetterCodes.add(row.Code);
            ++letterCodes;
            const key = countries[row.Country] + ' ' + row.Code.slice(0, 4);
            borrowed.set(key, (borrowed.get(key) ?? 0) + 1);
        }
        if (codeCountry.has(row.Code))
            Check(codeCountry.get(row.Code) === row.Country, `code ${row.Code} occurs in two countries`);
        codeCountry.set(row.Code, row.Country);
    });

    for (const [name, count] of Object.entries(ExpectedCounts))
        Check(counts[countries.indexOf(name)] === count, `${name} has ${counts[countries.indexOf(name)]} rows`);
    Check(counts.filter((count) => count === 1).length === 36, 'single-row countries');
    Check(counts.filter((count) => count === 0).length === 1, 'only Zambia is empty');
    Check(letterCodes === 21510 && zipCodes === 2414, `${letterCodes} letter codes, ${zipCodes} ZIP codes`);
    const shared = [...zipRows.values()].filter((count) => count > 1);
    Check(shared.length === 347 && shared.every((count) => count <= 4), `${shared.length} shared ZIP codes`);
    Check(zipRows.get('60191') === 3 && zipRows.get('20001') === 1, 'rows of 60191 and 20001');
    Check(borrowed.get('Italy AUXX') === 62, 'Italy rows with AUXX codes');
    Check(borrowed.get('Austria GMXX') === 2, 'Austria rows with GMXX codes');
    Check(borrowed.get('Germany EZXX') === 1, 'Germany rows with EZXX codes');
    // Apart from those, every country's codes carry one prefix of its own.
    const ownPrefix = new Map();
    for (const key of borrowed.keys()) {
        if (['Italy AUXX', 'Austria GMXX', 'Germany EZXX'].includes(key))
            continue;
        const country = key.slice(0, -5);
        Check(!ownPrefix.has(country), `${country} rows carry more than one prefix`);
        ownPrefix.set(country, key.slice(-4, -2));
    }
    Check(new Set(ownPrefix.values()).size === ownPrefix.size, 'two countries share a prefix');
    for (const [position, name, code, country] of ExpectedRows) {
        const row = rows[position];
        Check(row.Name === name && row.Code === code && row.Country === country, `row ${position} is ${row.Name} ${row.Code} ${row.Country}`);
    }
    return { countries, rows, counts };
}

module.exports = { Verify, Parse };

if (require.main === module) {
    const file = process.argv[2] ?? path.join(__dirname, '..', '..', 'assets', 'LocationTable.dat');
    const { counts } = Verify(fs.readFileSync(file));
    console.log(`${file}: ${counts.reduce((a, b) => a + b, 0)} rows, every rule holds`);
}
