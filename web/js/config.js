// Where the page looks for its catalog and how long it waits for the native
// side. One place, so a mirror or a host change is one edit.

// Where the catalog of `vendorHost` (the native side's, from "init") is
// published, tried in this order by the native side; the first usable answer
// wins. Installer packages must come from the same host or a name under it.
export function catalogUrls(vendorHost) {
  return [`https://${vendorHost}/suite/catalog.json`, `https://mirror.${vendorHost}/suite/catalog.json`];
}

// Shipped with the page and served by the resource scheme; used only in demo
// mode when no catalog can be fetched.
export const SAMPLE_CATALOG_PATH = 'data/sample-catalog.json';

// The native side gives each address up to 12 s without data and tries them
// one after another, so the wait grows with the list; the extra seconds cover
// a slow last answer. Two addresses: 30 s.
const PER_ADDRESS_MS = 12_000;
const SLACK_MS = 6_000;

export function catalogWaitMs(urls) {
  return Math.max(1, urls.length) * PER_ADDRESS_MS + SLACK_MS;
}

// A scan asks the package tool once per receipt, one after another; a minute
// is far beyond a healthy machine and still short enough not to look hung.
export const SCAN_WAIT_MS = 60_000;
