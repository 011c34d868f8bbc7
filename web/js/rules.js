// Small rules every module of the page applies the same way.

// A dictionary as JSON has it: not null, not a list.
export function isObject(value) {
  return value !== null && typeof value === 'object' && !Array.isArray(value);
}

// Versions, names and file names are Latin text inside possibly Arabic
// sentences; isolated, "1.2.0" never gets reordered by the surrounding
// direction. The marks only say where a run begins and ends: the page writes
// each run as an element of its own (see setText), never the marks themselves,
// which a screen reader would read aloud.
export const isolateLtr = (text) => `\u2066${text}\u2069`;
export const ISOLATED = /\u2066([^\u2066\u2069]*)\u2069/;
const MARKS = /[\u200e\u200f\u202a-\u202e\u2066-\u2069]/g;
export const plainText = (text) => String(text).replace(MARKS, '');
