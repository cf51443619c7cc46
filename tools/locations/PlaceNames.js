// Turns GeoNames place names into the plain ASCII, title-cased names the City list shows, and
// defines the one order the table sorts them in.
'use strict';

// Letters that Unicode decomposition does not reduce to a base letter and an accent.
const Substitutions = {
    '\u2018': "'", '\u2019': "'", '\u02BB': "'", '\u02BC': "'", '\u02BF': "'", '\u02BE': "'", '`': "'",
    '\u2013': '-', '\u2014': '-', '\u2010': '-', '\u2011': '-',
    '\u00DF': 'ss', '\u0131': 'i', '\u0142': 'l', '\u0141': 'L',
    '\u00F8': 'o', '\u00D8': 'O', '\u00E6': 'ae', '\u00C6': 'Ae', '\u0153': 'oe', '\u0152': 'Oe',
    '\u0111': 'd', '\u0110': 'D', '\u00F0': 'd', '\u00D0': 'D', '\u00FE': 'th', '\u00DE': 'Th',
    '\u0127': 'h', '\u0126': 'H', '\u0259': 'a', '\u018F': 'A', '\u0138': 'k', '\u0167': 't', '\u0166': 'T',
    '\u00A0': ' ',
};

// The plain ASCII form of a name, or null when some character has none (such places are left out
// rather than shown with letters missing).
function ToAscii(name) {
    let out = '';
    for (const ch of name.normalize('NFD')) {
        if (/\p{M}/u.test(ch))
            continue;
        const mapped = Substitutions[ch] ?? ch;
        for (const c of mapped) {
            const code = c.charCodeAt(0);
            if (code < 0x20 || code > 0x7E)
                return null;
        }
        out += mapped;
    }
    out = out.replace(/\s+/g, ' ').trim();
    return out.length > 0 ? out : null;
}

// Every word starts with a capital and goes on in small letters ("Aigen Im Ennstal"). A letter
// after an apostrophe is a capital only after a one-letter elision or at the start of a word
// ("L'Aquila", "'Ain Abid", not "John'S"), and after a leading "Mc" ("McAllen").
function TitleCase(name) {
    const separators = ' -/([.';
    const startsWord = (i) => i < 0 || separators.includes(name[i]);
    let out = '';
    for (let i = 0; i < name.length; ++i) {
        const ch = name[i];
        let upper = startsWord(i - 1);
        if (i >= 1 && name[i - 1] === "'")
            upper = startsWord(i - 2) || (/[A-Za-z]/.test(name[i - 2]) && startsWord(i - 3));
        if (i >= 2 && startsWord(i - 3) && name.slice(i - 2, i).toLowerCase() === 'mc' && i + 1 < name.length && /[a-z]/i.test(name[i + 1]))
            upper = true;
        out += upper ? ch.toUpperCase() : ch.toLowerCase();
    }
    return out;
}

// The key names are sorted and compared by: the bytes of the name with ASCII capitals lowered, so
// the order is the one a case-blind byte comparison gives, independent of any locale.
function SortKey(name) {
    return name.toLowerCase();
}

function CompareKeys(a, b) {
    return a < b ? -1 : a > b ? 1 : 0;
}

module.exports = { ToAscii, TitleCase, SortKey, CompareKeys };
