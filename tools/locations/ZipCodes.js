// ZIP codes of the USA rows: the npm zipcodes list looked up by town and state, and the ZIP code
// tabulation area centroids of Debian's weather-util-data for towns it does not know by name.
'use strict';

const fs = require('fs');
const zlib = require('zlib');

const ZctaFile = '/usr/share/weather-util/zctas.gz';

// Distances are compared in whole metres so that the last bits of the trigonometry cannot change
// which ZIP code is nearest.
function DistanceMetres(latitudeA, longitudeA, latitudeB, longitudeB) {
    const radians = Math.PI / 180;
    const dLatitude = (latitudeB - latitudeA) * radians;
    const dLongitude = (longitudeB - longitudeA) * radians;
    const a = Math.sin(dLatitude / 2) ** 2 +
        Math.cos(latitudeA * radians) * Math.cos(latitudeB * radians) * Math.sin(dLongitude / 2) ** 2;
    return Math.round(2 * 6371000 * Math.asin(Math.min(1, Math.sqrt(a))));
}

// The centroids as [zip, latitude, longitude] in degrees, in ZIP order.
function LoadZctaCentroids() {
    const text = zlib.gunzipSync(fs.readFileSync(ZctaFile)).toString('utf8');
    const centroids = [];
    let zip = null;
    for (const line of text.split('\n')) {
        const section = /^\[(\d{5})\]$/.exec(line);
        if (section) {
            zip = section[1];
            continue;
        }
        const centroid = /^centroid = \((-?[\d.]+), (-?[\d.]+)\)$/.exec(line);
        if (centroid && zip !== null) {
            centroids.push([zip, Number(centroid[1]) * 180 / Math.PI, Number(centroid[2]) * 180 / Math.PI]);
            zip = null;
        }
    }
    centroids.sort((a, b) => (a[0] < b[0] ? -1 : a[0] > b[0] ? 1 : 0));
    return centroids;
}

// How far a post office of the town's name may lie from the town's own position.
const MaxPostalDistance = 30000;

// Spellings the postal list uses for the first word of a town's name.
const PostalSpellings = [[/^Saint /, 'St. '], [/^Sainte /, 'Ste. '], [/^Mount /, 'Mt. '], [/^Fort /, 'Ft. '], [/^St\. /, 'Saint ']];

class TZipDirectory {
    constructor() {
        this.Zipcodes = require('zipcodes');
        this.Centroids = LoadZctaCentroids();
    }

    // The lowest five-digit ZIP code the postal list files under the town's name in the state
    // within MaxPostalDistance of the town (a state can have two towns of one name), or null.
    ByName(town, state, latitude, longitude) {
        const spellings = [town];
        for (const [pattern, replacement] of PostalSpellings) {
            if (pattern.test(town))
                spellings.push(town.replace(pattern, replacement));
        }
        for (const spelling of spellings) {
            const zips = this.Zipcodes.lookupByName(spelling, state)
                .filter((entry) => /^\d{5}$/.test(entry.zip) && Number.isFinite(entry.latitude) && Number.isFinite(entry.longitude) &&
                    DistanceMetres(latitude, longitude, entry.latitude, entry.longitude) <= MaxPostalDistance)
                .map((entry) => entry.zip)
                .sort();
            if (zips.length > 0)
                return zips[0];
        }
        return null;
    }

    // The ZIP codes whose centroids lie nearest the point, nearest first (ties by ZIP code), at
    // most `count` of them, leaving out those `excluded` holds.
    Nearest(latitude, longitude, count, excluded) {
        const found = [];
        for (const [zip, zipLatitude, zipLongitude] of this.Centroids) {
            if (excluded && excluded.has(zip))
                continue;
            // A cheap bound first: one degree of latitude is about 111 km.
            if (found.length === count && Math.abs(zipLatitude - latitude) * 111000 > found[found.length - 1][1])
                continue;
            const distance = DistanceMetres(latitude, longitude, zipLatitude, zipLongitude);
            if (found.length < count || distance < found[found.length - 1][1]) {
                found.push([zip, distance]);
                found.sort((a, b) => a[1] - b[1] || (a[0] < b[0] ? -1 : 1));
                if (found.length > count)
                    found.pop();
            }
        }
        return found;
    }
}

module.exports = { TZipDirectory, DistanceMetres };
