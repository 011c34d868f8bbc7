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

// The native side says how long it may spend on each address (its document
// and signature, one address after another); the margin covers handing the
// answer over. Before it has said, only the margin is waited, and an answer
// that comes later is still taken in.
const MARGIN_MS = 10_000;

export function catalogWaitMs(urls, secondsPerAddress = 0) {
  return Math.max(1, urls.length) * secondsPerAddress * 1000 + MARGIN_MS;
}

// A scan asks the package tool once per receipt, one after another; a minute
// is far beyond a healthy machine and still short enough not to look hung.
export const SCAN_WAIT_MS = 60_000;
