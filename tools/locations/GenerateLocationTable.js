// Builds assets/LocationTable.dat, the read-only country and city table behind the Country and
// City lists of the weather settings, from pinned open data. The same inputs always give the same
// bytes. Run `node GenerateLocationTable.js` to write the table and its coordinates, `--check` to
// compare them with the committed files.
'use strict';

const fs = require('fs');
const path = require('path');

const { Countries } = require('./Countries');
const { LoadPlaces, LoadIsoCountries, IsoNameKey } = require('./Sources');
const { ToAscii, TitleCase, SortKey, CompareKeys } = require('./PlaceNames');
const { TZipDirectory, DistanceMetres } = require('./ZipCodes');
const { BuildCoordinates, SerialiseCoordinates } = require('./LocationCoordinates');

const OutputFile = path.join(__dirname, '..', '..', 'assets', 'LocationTable.dat');
const CoordinatesFile = path.join(__dirname, '..', '..', 'assets', 'LocationCoordinates.dat');

// The shape of the table the settings dialog and its saved codes rely on.
const TotalRows = 23924;
const CountryNameSize = 40;
const CountryRecordSize = 44;
const CityNameSize = 40;
const CodeSize = 12;
const CityRecordSize = 56;
const MaxCountryNameLength = 38;
const MaxCityNameLength = 36;
const SharedZipCodes = 347;
const MaxRowsPerZipCode = 4;
const SingleRowCountries = 36;
const MinRowsOfListedCountry = 2;
// Countries not given a fixed count share the rest by how many towns of this size they have.
const TownPopulation = 10000;

// Rows whose place in the table is fixed. `source` is the GeoNames name (and `admin1` the state)
// of the place the row stands for; `name` replaces the name shown when given; `index` is the
// row's position in its country's list, negative counting from the end.
const PinnedRows = [
    { country: 'Afghanistan', source: 'Lashkar Gāh', name: 'Bost/Laskar', code: 'AFXX0005', index: 0 },
    { country: 'Austria', source: 'Aigen im Ennstal', code: 'AUXX0034', index: 0 },
    { country: 'USA', source: 'Abbeville', admin1: 'LA', code: '70510', index: 0 },
    // Addison and Bensenville, its neighbours by O'Hare airport, share Wood Dale's ZIP code.
    { country: 'USA', source: 'Addison', admin1: 'IL', code: '60191', index: 7 },
    { country: 'USA', source: 'Bensenville', admin1: 'IL', code: '60191', index: 188 },
    { country: 'USA', source: 'Washington, D.C.', admin1: 'DC', name: 'Washington, DC', code: '20001', index: 2268 },
    { country: 'USA', source: 'Wood Dale', admin1: 'IL', code: '60191', index: 2379 },
    { country: 'Zimbabwe', source: 'Victoria Falls', code: 'ZIXX0007', index: -1 },
];

// Rows whose codes carry a neighbour's prefix: the Kleinwalsertal, reached by road only from
// Germany, and Bayerisch Eisenstein, whose station straddles the Czech border. The South Tyrol
// (province of Bolzano) rows of Italy carry Austrian codes.
const BorrowedPrefixes = [
    { country: 'Austria', source: 'Mittelberg', prefix: 'GM' },
    { country: 'Austria', source: 'Riezlern', prefix: 'GM' },
    { country: 'Germany', source: 'Bayerisch Eisenstein', prefix: 'EZ' },
];
const BorrowedProvinces = [
    { country: 'Italy', admin2: 'BZ', rows: 62, prefix: 'AU' },
];

// The first row of these countries' runs is at a fixed position of the whole table.
const RunStarts = [
    { country: 'Austria', row: 1693 },
    { country: 'USA', row: 21349 },
];

function Fail(message) {
    throw new Error(message);
}

// Higher population first; places of equal (or unknown) population in the sources' own order.
function ComparePriority(a, b) {
    return b.Population - a.Population || a.Order - b.Order;
}

// The name a place is shown under in a country's list, or null when it has no plain ASCII form,
// is too long, or holds digits (districts numbered within a city, sections of communal land).
function DisplayName(country, place) {
    const ascii = ToAscii(place.Name);
    if (ascii === null || /\d/.test(ascii))
        return null;
    let name = TitleCase(ascii);
    if (country.name === 'USA') {
        if (!/^[A-Z]{2}$/.test(place.Admin1))
            return null;
        name += ', ' + place.Admin1;
    }
    return name.length <= MaxCityNameLength ? name : null;
}

function MakeRow(country, place, name) {
    return {
        Country: country.Index,
        Name: name,
        Key: SortKey(name),
        Town: country.name === 'USA' ? name.slice(0, name.lastIndexOf(', ')) : name,
        State: country.name === 'USA' ? place.Admin1 : '',
        Place: place,
        Population: place.Population,
        Order: place.Order,
        Prefix: country.prefix,
        Forced: false,
        Pin: null,
        Code: null,
    };
}

// Maps every country of the table to the GeoNames country codes of its places through iso-codes.
function ResolveCountries() {
    const isoByName = LoadIsoCountries();
    const prefixes = new Set();
    return Countries.map((country, index) => {
        if (country.name.length > MaxCountryNameLength || !/^[\x20-\x7E]+$/.test(country.name))
            Fail(`country name "${country.name}" is not plain ASCII of at most ${MaxCountryNameLength} characters`);
        if (prefixes.has(country.prefix))
            Fail(`prefix ${country.prefix} is given twice`);
        prefixes.add(country.prefix);
        const geonames = (country.iso ?? [country.name]).map((isoName) => {
            const code = isoByName.get(IsoNameKey(isoName));
            if (!code)
                Fail(`iso-codes has no country called "${isoName}" (for ${country.name})`);
            return code;
        });
        return { ...country, Index: index, GeoNames: [...geonames, ...(country.geonames ?? [])] };
    });
}

function FindPlace(country, places, source, admin1) {
    const found = places.filter((place) => place.Name === source && (admin1 === undefined || place.Admin1 === admin1));
    if (found.length === 0)
        Fail(`${country.name}: no place "${source}"${admin1 ? ' in ' + admin1 : ''} in the sources`);
    return found.sort(ComparePriority)[0];
}

// The rows a country can list: its places under their display names, one per name (the largest),
// with the pinned and borrowed rows taken out first so that no larger namesake displaces them.
function CandidatesOf(country, placesByCountry) {
    let places = [];
    for (const code of country.GeoNames)
        places.push(...(placesByCountry.get(code) ?? []));
    if (country.admin1)
        places = places.filter((place) => country.admin1.includes(place.Admin1));
    if (country.notAdmin1)
        places = places.filter((place) => !country.notAdmin1.includes(place.Admin1));
    places.sort(ComparePriority);

    const taken = new Set();
    const pins = [];
    for (const pin of PinnedRows.filter((entry) => entry.country === country.name)) {
        const place = FindPlace(country, places, pin.source, pin.admin1);
        const row = MakeRow(country, place, pin.name ?? DisplayName(country, place));
        row.Pin = pin;
        pins.push(row);
        taken.add(place);
    }
    const forced = [];
    for (const borrowed of BorrowedPrefixes.filter((entry) => entry.country === country.name)) {
        const place = FindPlace(country, places, borrowed.source);
        const row = MakeRow(country, place, DisplayName(country, place));
        row.Prefix = borrowed.prefix;
        row.Forced = true;
        forced.push(row);
        taken.add(place);
    }

    const keys = new Set([...pins, ...forced].map((row) => row.Key));
    const rows = [];
    for (const place of places) {
        if (taken.has(place))
            continue;
        const name = DisplayName(country, place);
        if (name === null || keys.has(SortKey(name)))
            continue;
        keys.add(SortKey(name));
        rows.push(MakeRow(country, place, name));
    }

    for (const province of BorrowedProvinces.filter((entry) => entry.country === country.name)) {
        const inProvince = rows.filter((row) => row.Place.Admin2 === province.admin2);
        if (inProvince.length < province.rows)
            Fail(`${country.name}: only ${inProvince.length} places in ${province.admin2}`);
        for (const row of inProvince.slice(0, province.rows)) {
            row.Prefix = province.prefix;
            row.Forced = true;
        }
        const dropped = new Set(inProvince.slice(province.rows));
        for (let i = rows.length - 1; i >= 0; --i) {
            if (dropped.has(rows[i]))
                rows.splice(i, 1);
        }
    }

    // A row pinned first (or last) of its list leaves out every name that would sort before (after) it.
    let candidates = rows.filter((row) => !row.Forced);
    forced.push(...rows.filter((row) => row.Forced));
    for (const row of pins) {
        if (row.Pin.index === 0)
            candidates = candidates.filter((other) => CompareKeys(other.Key, row.Key) > 0);
        if (row.Pin.index === -1)
            candidates = candidates.filter((other) => CompareKeys(other.Key, row.Key) < 0);
    }
    if (country.fallback && pins.length + forced.length + candidates.length === 0) {
        const place = { Name: country.fallback, Admin1: '', Population: 0, Order: -1,
            Latitude: country.fallbackAt[0], Longitude: country.fallbackAt[1] };
        candidates.push(MakeRow(country, place, country.fallback));
    }
    return { Pins: pins, Forced: forced, Candidates: candidates };
}

// Shares `total` rows among `countries` in proportion to their weights, each getting at least
// MinRowsOfListedCountry and at most what it has, rounding by largest remainder (ties to the
// earlier country).
function ShareOut(countries, total) {
    const count = new Map();
    let open = countries.slice();
    let remaining = total;
    for (;;) {
        const weight = open.reduce((sum, country) => sum + country.Weight, 0);
        const clamped = open.filter((country) => {
            const share = (remaining * country.Weight) / weight;
            return share < MinRowsOfListedCountry || share > country.Available;
        });
        if (clamped.length === 0)
            break;
        for (const country of clamped) {
            const share = (remaining * country.Weight) / weight;
            const value = share < MinRowsOfListedCountry ? MinRowsOfListedCountry : country.Available;
            count.set(country, value);
            remaining -= value;
        }
        open = open.filter((country) => !clamped.includes(country));
        if (open.length === 0)
            break;
    }
    if (open.length > 0) {
        const weight = open.reduce((sum, country) => sum + country.Weight, 0);
        const shares = open.map((country) => ({ country, share: (remaining * country.Weight) / weight }));
        for (const { country, share } of shares)
            count.set(country, Math.floor(share));
        let left = remaining - shares.reduce((sum, { share }) => sum + Math.floor(share), 0);
        const byRemainder = shares.slice().sort((a, b) =>
            (b.share - Math.floor(b.share)) - (a.share - Math.floor(a.share)) || a.country.Index - b.country.Index);
        for (const { country } of byRemainder) {
            if (left === 0)
                break;
            count.set(country, count.get(country) + 1);
            --left;
        }
    }
    const sum = countries.reduce((s, country) => s + count.get(country), 0);
    if (sum !== total)
        Fail(`cannot share ${total} rows among ${countries.map((c) => c.name).join(', ')}`);
    return count;
}

// Row counts: the fixed ones, one for the single-row countries, and for the others a share of
// what the fixed run starts leave, in proportion to how many towns of TownPopulation or more
// they have.
function CountRows(countries) {
    const singles = countries.filter((country) => country.single);
    if (singles.length !== SingleRowCountries)
        Fail(`${singles.length} single-row countries instead of ${SingleRowCountries}`);
    const fixed = (country) => country.count !== undefined || country.single;
    const fixedCount = (country) => (country.single ? 1 : country.count);

    const bounds = [{ index: 0, row: 0 }];
    for (const start of RunStarts)
        bounds.push({ index: countries.findIndex((c) => c.name === start.country), row: start.row });
    bounds.push({ index: countries.length, row: TotalRows });

    for (let i = 0; i + 1 < bounds.length; ++i) {
        const group = countries.slice(bounds[i].index, bounds[i + 1].index);
        const total = bounds[i + 1].row - bounds[i].row;
        const free = group.filter((country) => !fixed(country));
        const freeTotal = total - group.filter(fixed).reduce((sum, country) => sum + fixedCount(country), 0);
        const shares = ShareOut(free, freeTotal);
        for (const country of group)
            country.Count = fixed(country) ? fixedCount(country) : shares.get(country);
    }
    for (const country of countries) {
        if (country.Count > country.Available)
            Fail(`${country.name}: ${country.Count} rows wanted, ${country.Available} places available`);
    }
}

// Picks a country's rows. The pinned rows split its list into stretches of known length; each
// stretch takes its borrowed rows and then the largest places whose names sort into it.
function SelectRows(country) {
    const { Pins, Forced, Candidates } = country.Pool;
    const pins = Pins.map((row) => ({ row, index: row.Pin.index < 0 ? country.Count + row.Pin.index : row.Pin.index }))
        .sort((a, b) => a.index - b.index);
    const bounds = [{ row: null, index: -1 }, ...pins, { row: null, index: country.Count }];
    const selected = pins.map((pin) => pin.row);
    for (let i = 0; i + 1 < bounds.length; ++i) {
        const low = bounds[i].row;
        const high = bounds[i + 1].row;
        const need = bounds[i + 1].index - bounds[i].index - 1;
        if (need < 0)
            Fail(`${country.name}: pinned rows out of order`);
        const inStretch = (row) => (low === null || CompareKeys(row.Key, low.Key) > 0) &&
            (high === null || CompareKeys(row.Key, high.Key) < 0);
        const forced = Forced.filter(inStretch);
        const others = Candidates.filter(inStretch);
        if (forced.length > need || forced.length + others.length < need)
            Fail(`${country.name}: ${need} rows wanted between ${low?.Name ?? 'the start'} and ${high?.Name ?? 'the end'}, ` +
                `${forced.length} borrowed and ${others.length} other places there`);
        selected.push(...forced, ...others.slice(0, need - forced.length));
    }
    if (Forced.some((row) => !selected.includes(row)))
        Fail(`${country.name}: a borrowed row lies outside its list`);
    return selected.sort((a, b) => CompareKeys(a.Key, b.Key));
}

// Letter codes: prefix, "XX", and a number counted per prefix from 1 in order of population
// (largest place first), skipping the numbers the pinned rows hold.
function AssignLetterCodes(rows) {
    const byPrefix = new Map();
    for (const row of rows) {
        if (row.Pin && /^[A-Z]{4}\d{4}$/.test(row.Pin.code)) {
            if (row.Pin.code.slice(0, 2) !== row.Prefix)
                Fail(`pinned code ${row.Pin.code} does not carry its row's prefix ${row.Prefix}`);
            row.Code = row.Pin.code;
        }
        if (!byPrefix.has(row.Prefix))
            byPrefix.set(row.Prefix, []);
        byPrefix.get(row.Prefix).push(row);
    }
    for (const [prefix, group] of byPrefix) {
        const reserved = new Set(group.filter((row) => row.Code !== null).map((row) => Number(row.Code.slice(4))));
        let next = 1;
        for (const row of group.slice().sort(ComparePriority)) {
            if (row.Code !== null)
                continue;
            while (reserved.has(next))
                ++next;
            if (next > 9999)
                Fail(`prefix ${prefix} has more than 9,999 rows`);
            row.Code = prefix + 'XX' + String(next).padStart(4, '0');
            ++next;
        }
    }
}

function GroupByZip(rows) {
    const groups = new Map();
    for (const row of rows) {
        if (!groups.has(row.Code))
            groups.set(row.Code, []);
        groups.get(row.Code).push(row);
    }
    return groups;
}

// ZIP codes of the USA rows. Each town takes the lowest ZIP code the postal list files under its
// name nearby, or else the ZIP code whose area centre lies nearest. Towns that share a post office then
// share its code; that leaves a number of shared codes which the table fixes at SharedZipCodes:
// the nearest pairs of a smaller town and a larger one are given the larger one's code until the
// count is reached (or, with too many, the farthest pairs are parted again).
function AssignZipCodes(rows) {
    const directory = new TZipDirectory();
    const stats = { byName: 0, nearest: 0, natural: 0, joined: 0, parted: 0, farthest: 0 };
    const pinnedZips = new Set(rows.filter((row) => row.Pin).map((row) => row.Pin.code));
    const locked = (row) => row.Pin !== null;
    for (const row of rows) {
        if (row.Pin) {
            row.Code = row.Pin.code;
            continue;
        }
        let zip = directory.ByName(row.Town, row.State, row.Place.Latitude, row.Place.Longitude);
        if (zip === null || pinnedZips.has(zip)) {
            const place = row.Place;
            zip = directory.Nearest(place.Latitude, place.Longitude, 1, pinnedZips)[0][0];
            ++stats.nearest;
        } else {
            ++stats.byName;
        }
        row.Code = zip;
    }

    const used = () => new Set(rows.map((row) => row.Code));
    const moveToUnusedZip = (row) => {
        row.Code = directory.Nearest(row.Place.Latitude, row.Place.Longitude, 1, used())[0][0];
    };

    // No code on more than MaxRowsPerZipCode rows: the smallest towns move to a code of their own.
    for (const group of GroupByZip(rows).values()) {
        if (group.length > MaxRowsPerZipCode)
            group.filter((row) => !locked(row)).sort(ComparePriority).slice(MaxRowsPerZipCode - group.filter(locked).length).forEach(moveToUnusedZip);
    }

    const sharedCount = () => [...GroupByZip(rows).values()].filter((group) => group.length > 1).length;
    let shared = sharedCount();
    stats.natural = shared;
    if (shared < SharedZipCodes) {
        const pairs = [];
        const sorted = rows.slice().sort((a, b) => a.Place.Latitude - b.Place.Latitude || a.Order - b.Order);
        for (let i = 0; i < sorted.length; ++i) {
            for (let j = i + 1; j < sorted.length && (sorted[j].Place.Latitude - sorted[i].Place.Latitude) < 0.5; ++j) {
                const [small, large] = ComparePriority(sorted[i], sorted[j]) > 0 ? [sorted[i], sorted[j]] : [sorted[j], sorted[i]];
                if (locked(small) || locked(large))
                    continue;
                const distance = DistanceMetres(small.Place.Latitude, small.Place.Longitude, large.Place.Latitude, large.Place.Longitude);
                if (distance <= 50000)
                    pairs.push({ small, large, distance });
            }
        }
        pairs.sort((a, b) => a.distance - b.distance || a.small.Order - b.small.Order || a.large.Order - b.large.Order);
        const groups = GroupByZip(rows);
        const size = new Map([...groups].map(([zip, group]) => [zip, group.length]));
        for (const { small, large, distance } of pairs) {
            if (shared === SharedZipCodes)
                break;
            if (size.get(small.Code) !== 1 || size.get(large.Code) !== 1)
                continue;
            size.set(small.Code, 0);
            small.Code = large.Code;
            size.set(large.Code, 2);
            ++shared;
            ++stats.joined;
            stats.farthest = distance;
        }
    }
    while (shared > SharedZipCodes) {
        const pairs = [...GroupByZip(rows).values()]
            .filter((group) => group.length === 2 && !group.some(locked))
            .map((group) => {
                const [large, small] = group.slice().sort(ComparePriority);
                return { small, distance: DistanceMetres(small.Place.Latitude, small.Place.Longitude, large.Place.Latitude, large.Place.Longitude) };
            })
            .sort((a, b) => b.distance - a.distance || a.small.Order - b.small.Order);
        if (pairs.length === 0)
            Fail('too many shared ZIP codes and none can be parted');
        moveToUnusedZip(pairs[0].small);
        shared = sharedCount();
        ++stats.parted;
    }
    if (shared !== SharedZipCodes)
        Fail(`${shared} shared ZIP codes instead of ${SharedZipCodes}`);
    return stats;
}

function Build() {
    const countries = ResolveCountries();
    const placesByCountry = LoadPlaces();
    for (const country of countries) {
        country.Pool = CandidatesOf(country, placesByCountry);
        const { Pins, Forced, Candidates } = country.Pool;
        country.Available = Pins.length + Forced.length + Candidates.length;
        country.Weight = Candidates.filter((row) => row.Population >= TownPopulation).length + Pins.length + Forced.length;
        if (country.Weight === 0)
            country.Weight = 1;
    }
    CountRows(countries);

    const rows = [];
    for (const country of countries)
        rows.push(...SelectRows(country));
    const usa = countries.find((country) => country.name === 'USA').Index;
    AssignLetterCodes(rows.filter((row) => row.Country !== usa));
    const zipStats = AssignZipCodes(rows.filter((row) => row.Country === usa));
    console.log(`USA: ${zipStats.byName} ZIP codes by town name, ${zipStats.nearest} by nearest ZIP area; ` +
        `${zipStats.natural} shared as found, ${zipStats.joined} towns joined to a neighbour's code (at most ${zipStats.farthest} m away), ${zipStats.parted} parted`);
    return { countries, rows };
}

function WriteText(buffer, offset, size, text) {
    if (!/^[\x20-\x7E]*$/.test(text) || text.length >= size)
        Fail(`"${text}" does not fit ${size - 1} plain ASCII characters`);
    buffer.write(text, offset, 'latin1');
}

// Country records then city records, back to back; text zero-terminated and zero-padded,
// integers 32-bit little-endian.
function Serialise({ countries, rows }) {
    const buffer = Buffer.alloc(countries.length * CountryRecordSize + rows.length * CityRecordSize);
    countries.forEach((country, index) => {
        const offset = index * CountryRecordSize;
        WriteText(buffer, offset, CountryNameSize, country.name);
        buffer.writeUInt32LE(index, offset + CountryNameSize);
    });
    rows.forEach((row, index) => {
        const offset = countries.length * CountryRecordSize + index * CityRecordSize;
        WriteText(buffer, offset, CityNameSize, row.Name);
        WriteText(buffer, offset + CityNameSize, CodeSize, row.Code);
        buffer.writeUInt32LE(row.Country, offset + CityNameSize + CodeSize);
    });
    return buffer;
}

module.exports = { Build, Serialise, OutputFile, CoordinatesFile };

// Writes the file, or with `check` only compares it with what is committed.
function Output(file, bytes, check) {
    if (check) {
        const current = fs.existsSync(file) ? fs.readFileSync(file) : Buffer.alloc(0);
        if (!current.equals(bytes)) {
            console.error(`${file} differs from what the generator builds`);
            process.exit(1);
        }
        console.log(`${file} is up to date (${bytes.length} bytes)`);
    } else {
        fs.writeFileSync(file, bytes);
        console.log(`wrote ${file} (${bytes.length} bytes)`);
    }
}

if (require.main === module) {
    const { Verify } = require('./VerifyLocationTable');
    const { VerifyCoordinates } = require('./VerifyLocationCoordinates');
    const built = Build();
    const bytes = Serialise(built);
    Verify(bytes);
    const coordinates = SerialiseCoordinates(BuildCoordinates(built.rows, ComparePriority));
    VerifyCoordinates(bytes, coordinates);
    const check = process.argv.includes('--check');
    Output(OutputFile, bytes, check);
    Output(CoordinatesFile, coordinates, check);
}
