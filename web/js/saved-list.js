// The list of the last good check, kept in the settings so that a start
// without network still shows the user's products: the catalog text as the
// native side verified it, when it came, and the installed versions the scan
// found then. Kept under one key, "savedList", replaced whole by each good
// check.

function isObject(value) {
  return value !== null && typeof value === 'object' && !Array.isArray(value);
}

// → { text, at, installed: Map } or null when the settings hold none usable.
export function savedListOf(settings) {
  const saved = isObject(settings) ? settings.savedList : undefined;
  if (!isObject(saved) || typeof saved.text !== 'string' || !Number.isFinite(saved.at)) return null;
  const installed = new Map();
  if (isObject(saved.installed)) {
    for (const [id, version] of Object.entries(saved.installed)) {
      if (typeof version === 'string') installed.set(id, version);
    }
  }
  return { text: saved.text, at: saved.at, installed };
}

// The settings after a check that fetched `text` and found `installed`.
export function withSavedList(settings, text, installed, at) {
  return { ...settings, savedList: { text, at, installed: Object.fromEntries(installed) } };
}
