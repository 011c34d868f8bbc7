// The check for updates: one run at a time, with its start and end recorded
// for the status line of the products view.
//
// A run asks the native side for the catalog text ("fetchCatalog" →
// "catalog"), reads it, has the native side look for the installed versions
// ("scan" → "scanned") and resolves to the outcome the app state takes in.
// The bridge has no request ids and no acknowledgements, so every wait is
// bounded: a lost answer ends the run instead of leaving it spinning.

import { parseCatalog, productFor, scanItem } from './catalog.js';
import { SAMPLE_CATALOG_PATH, SCAN_WAIT_MS, catalogUrls, catalogWaitMs } from './config.js';
import { formatWhen, t } from './i18n.js';
import { isObject } from './rules.js';

const delay = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Waits for the next event of one type, or gives up after `ms` and resolves
// to null. It must be armed before the action goes out: the native side may
// answer while post() is still running.
export function createEventWaiter(on, { setTimer = setTimeout, clearTimer = clearTimeout } = {}) {
  return function expect(type, ms) {
    let off = () => {};
    let timer = null;
    let settle;
    const answer = new Promise((resolve) => {
      settle = (event) => {
        off();
        clearTimer(timer);
        resolve(event);
      };
    });
    off = on(type, (event) => settle(event));
    timer = setTimer(() => settle(null), ms);
    return { answer, cancel: () => settle(null) };
  };
}

// The catalog shipped with the page, for demo runs without a catalog server.
export async function loadSampleCatalog(fetchFn = globalThis.fetch) {
  if (typeof fetchFn !== 'function') throw new Error('no way to load the sample catalog');
  const response = await fetchFn(SAMPLE_CATALOG_PATH);
  if (!response.ok) throw new Error(`sample catalog: status ${response.status}`);
  return response.text();
}

// Why the native side refused the last signed document that came: one that is
// older than a document seen before, or past its expiry, is out of date; one
// dated far ahead of this computer's clock points at the clock.
const OUTDATED_REASONS = new Set(['rollback', 'expired']);

// A "catalog" answer → { ok: true, text } or
//   { ok: false, error: "offline" | "unavailable" | "outdated" | "clock" }
function catalogOutcome(event) {
  if (event.ok === true && typeof event.text === 'string') return { ok: true, text: event.text };
  if (event.offline === true) return { ok: false, error: 'offline' };
  if (event.reason === 'future') return { ok: false, error: 'clock' };
  return { ok: false, error: OUTDATED_REASONS.has(event.reason) ? 'outdated' : 'unavailable' };
}

// → as catalogOutcome, or { ok: false, error: "unavailable" | "timeout" }
// without an answer.
async function fetchCatalogText({ post, expect, urls, waitMs }) {
  const pending = expect('catalog', waitMs);
  if (post({ type: 'fetchCatalog', urls: [...urls] }) === false) {
    pending.cancel();
    return { ok: false, error: 'unavailable' };
  }
  const event = await pending.answer;
  return event === null ? { ok: false, error: 'timeout' } : catalogOutcome(event);
}

// → Map of id → version for the products found installed, or null without an answer.
// `products` are as the host sees them (see productFor).
async function scanInstalled({ post, expect, products, waitMs }) {
  // Nothing to look for: the native answer would be an empty map anyway.
  if (products.length === 0) return new Map();
  const pending = expect('scanned', waitMs);
  if (post({ type: 'scan', apps: products.map(scanItem) }) === false) {
    pending.cancel();
    return null;
  }
  const event = await pending.answer;
  if (event === null) return null;
  const ids = new Set(products.map((p) => p.id));
  const installed = new Map();
  if (isObject(event.installed)) {
    for (const [id, version] of Object.entries(event.installed)) {
      if (ids.has(id) && typeof version === 'string') installed.set(id, version);
    }
  }
  return installed;
}

// Scans one after another: an answer names no request, so two scans under
// way at once could each take the other's answer.
export function createScanner({ post, expect, waitMs = SCAN_WAIT_MS }) {
  let last = Promise.resolve();
  return function scan(products) {
    const run = last.then(() => scanInstalled({ post, expect, products, waitMs }));
    last = run.catch(() => null);
    return run;
  };
}

// The copy the native side kept (`copy` → { text, at } or null), read again;
// null when there is none or its text no longer reads as a catalog. What is
// installed comes from a scan.
export function readSavedList(copy, vendorHost, shows) {
  if (!copy) return null;
  const parsed = parseCatalog(copy.text, vendorHost, shows);
  if (!parsed.ok) return null;
  return { products: parsed.products, installed: new Map(), savedAt: copy.at, leftOut: parsed.leftOut };
}

// The list a failed check can stand on: the kept copy (`saved` → { text, at }
// or null), with installed versions from a fresh scan, which needs no network.
async function savedList({ saved, kind, arch, scan, vendorHost, shows }) {
  const list = readSavedList(saved(), vendorHost, shows);
  if (!list) return null;
  const offered = list.products.map((p) => productFor(p, kind, arch)).filter(Boolean);
  return { ...list, installed: (await scan(offered)) ?? list.installed };
}

// One whole check. Resolves to
//   { ok: true, source: "live" | "sample", text, products, installed, problems, leftOut }
//   { ok: false, error: "offline" | "unavailable" | "outdated" | "clock" | "timeout", problems, saved? }
// and never rejects for a missing or bad answer. With `answer`, a "catalog"
// event that came after an earlier check stopped waiting, nothing is fetched:
// the check goes on from that answer.
export async function runUpdateCheck({
  post,
  expect,
  saved = () => null,
  isDemo = () => false,
  packageKind = () => 'pkg',
  arch = () => '',
  loadSample = loadSampleCatalog,
  vendorHost = () => '',
  shows = () => true,
  urls = catalogUrls(vendorHost()),
  secondsPerAddress = () => 0,
  catalogWait = catalogWaitMs(urls, secondsPerAddress()),
  scanWait = SCAN_WAIT_MS,
  scan = createScanner({ post, expect, waitMs: scanWait }),
  answer = null,
  warn = (...args) => console.warn(...args),
}) {
  let source = 'live';
  let problems = [];
  let parsed = null;

  const fetched = answer ? catalogOutcome(answer) : await fetchCatalogText({ post, expect, urls, waitMs: catalogWait });
  let error = fetched.ok ? null : fetched.error;
  if (fetched.ok) {
    parsed = parseCatalog(fetched.text, vendorHost(), shows);
    problems = parsed.problems;
    if (!parsed.ok) error = 'unavailable';
  }

  // Asked only now: "init" says whether this is a demo, and it may still have
  // been on its way when the check started.
  if (error && isDemo()) {
    try {
      const sample = parseCatalog(await loadSample(), vendorHost());
      if (sample.ok) {
        parsed = sample;
        problems = sample.problems;
        source = 'sample';
        error = null;
      } else {
        problems = [...problems, ...sample.problems.map((p) => `sample: ${p}`)];
      }
    } catch (err) {
      problems = [...problems, `sample: ${err.message}`];
    }
  }

  if (problems.length > 0) warn('suite: catalog problems', problems);
  // Only what this host can install is looked for: a product without a
  // package of its kind has nothing the native side could find.
  const kind = packageKind();
  if (error) {
    const list = await savedList({ saved, kind, arch: arch(), scan, vendorHost: vendorHost(), shows });
    return list ? { ok: false, error, problems, saved: list } : { ok: false, error, problems };
  }

  const offered = parsed.products.map((p) => productFor(p, kind, arch())).filter(Boolean);
  let installed = await scan(offered);
  if (installed === null) return { ok: false, error: 'timeout', problems };
  // Sample installs exist only to show every state in a demo; what the real
  // scan found still wins.
  if (source === 'sample') installed = new Map([...parsed.demoInstalled, ...installed]);
  const text = source === 'live' ? fetched.text : null;
  return { ok: true, source, text, products: parsed.products, installed, problems, leftOut: parsed.leftOut };
}

export function createChecker({
  run,
  onChange = () => {},
  now = Date.now,
  // A check that ends within a frame would only flicker; keep the busy state
  // on screen long enough to be read.
  minBusyMs = 0,
  wait = delay,
} = {}) {
  if (typeof run !== 'function') throw new TypeError('createChecker needs a run function');
  let status = { running: false, startedAt: null, lastAt: null, lastOk: null };

  function set(next) {
    status = next;
    onChange(status);
  }

  async function attempt() {
    try {
      const [result] = await Promise.all([run(), minBusyMs > 0 ? wait(minBusyMs) : null]);
      return result?.ok === true;
    } catch (err) {
      console.error('suite: update check failed', err);
      return false;
    }
  }

  // A second request while one runs (menu command during a check, double
  // click) joins the running check instead of starting another fetch.
  let current = null;

  function start() {
    if (current) return current;
    set({ ...status, running: true, startedAt: now() });
    // Cleared in a continuation, never synchronously: a run that fails at
    // once must not clear `current` before it has been assigned.
    current = attempt().then((ok) => {
      current = null;
      set({ running: false, startedAt: null, lastAt: now(), lastOk: ok });
      return ok;
    });
    return current;
  }

  return { start, status: () => status };
}

// The status line for a check state: which mark to show and its text. While
// a check runs, the time of the previous one stays in view.
export function checkStatus(lang, check, now = Date.now()) {
  const last =
    check?.lastAt == null
      ? null
      : {
          ok: check.lastOk === true,
          text: t(lang, check.lastOk === true ? 'check.done' : 'check.failed', {
            when: formatWhen(lang, check.lastAt, now),
          }),
        };
  if (check?.running) {
    const running = t(lang, 'check.running');
    return { state: 'running', text: last ? `${running} ${last.text}` : running };
  }
  if (!last) return { state: 'idle', text: t(lang, 'check.never') };
  return { state: last.ok ? 'done' : 'failed', text: last.text };
}
