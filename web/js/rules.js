// Small rules every module of the page applies the same way.

// A dictionary as JSON has it: not null, not a list.
export function isObject(value) {
  return value !== null && typeof value === 'object' && !Array.isArray(value);
}

// Versions, names and file names are Latin text inside possibly Arabic
// sentences; isolated, "1.2.0" never gets reordered by the surrounding
// direction.
export const isolateLtr = (text) => `\u2066${text}\u2069`;
