// The update check against a fake native side, and the install and open
// requests that follow from its outcome.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';

import { createApp } from '../../web/js/app.js';
import { CATALOG_URLS } from '../../web/js/config.js';
import { productRows } from '../../web/js/inventory.js';
import { HEX, doc, product } from './fixtures.mjs';

const INIT = {
  type: 'init', platform: 'linux', version: '1.0.0', demo: false, settings: null,
  osLang: 'en', osDark: false, reduceMotion: false,
};

const SAMPLE = readFileSync(new URL('../../web/data/sample-catalog.json', import.meta.url), 'utf8');

const CATALOG = doc([
  product({ id: 'suite', self: true, version: '1.1.0', detect: { apps: ['TALVEN Suite.app'] } }),
  product({ id: 'presenter', version: '4.2.0' }),
  product({ id: 'capture', version: '2.0', detect: { apps: ['Capture.app'], receipts: ['com.brenlow.capture'] } }),
  product({ id: 'timer', group: 'addin', version: '1.6.0', detect: { receipts: ['com.brenlow.timer'] } }),
]);

const settle = () => new Promise((resolve) => setImmediate(resolve));

// Timers the test expires by hand, so bounded waits run out instantly.
function manualTimers() {
  const pending = new Map();
  let nextId = 1;
  return {
    setTimer: (fn, ms) => { pending.set(nextId, { fn, ms }); return nextId++; },
    clearTimer: (id) => pending.delete(id),
    delays: () => [...pending.values()].map((p) => p.ms),
    expire() { for (const [id, { fn }] of [...pending]) { pending.delete(id); fn(); } },
  };
}

function started({ init = INIT, sample = async () => SAMPLE, ...options } = {}) {
  const posts = [];
  const win = {};
  const timers = manualTimers();
  let samples = 0;
  const loadSample = () => (samples++, sample());
  const app = createApp({ post: (m) => { posts.push(m); }, timers, loadSample, ...options });
  app.connect(win);
  win.Suite.receive(structuredClone(init));
  posts.length = 0;
  const receive = async (event) => { win.Suite.receive(event); await settle(); };
  const last = (type) => posts.filter((m) => m.type === type).at(-1);
  return { app, posts, timers, receive, last, samples: () => samples };
}

// One whole successful check with the given scan answer.
async function checked(installed, options) {
  const env = started(options);
  const done = env.app.checkForUpdates();
  await env.receive({ type: 'catalog', ok: true, url: CATALOG_URLS[0], text: CATALOG });
  await env.receive({ type: 'scanned', installed });
  assert.equal(await done, true);
  env.posts.length = 0;
  return env;
}

const states = (app) => Object.fromEntries(productRows(app.store.get()).map((r) => [r.product.id, r.state]));

test('a check fetches the catalog, scans its items and shows each product state', async () => {
  const { app, posts, timers, receive } = started();
  const done = app.checkForUpdates();
  assert.deepEqual(posts, [{ type: 'fetchCatalog', urls: [...CATALOG_URLS] }]);
  assert.deepEqual(timers.delays(), [30_000], 'the fetch wait covers both addresses');

  await receive({ type: 'catalog', ok: true, url: CATALOG_URLS[0], text: CATALOG });
  const scan = posts[1];
  assert.equal(scan.type, 'scan');
  assert.deepEqual(scan.apps.map((item) => item.id), ['suite', 'presenter', 'capture', 'timer']);
  assert.deepEqual(scan.apps[2], {
    id: 'capture', group: 'app', detect: { apps: ['Capture.app'], receipts: ['com.brenlow.capture'] },
    version: '2.0', url: 'https://downloads.brenlow.example/suite/presenter.pkg', file: 'presenter.pkg',
    sha256: HEX, self: false,
  });
  assert.deepEqual(timers.delays(), [60_000]);

  await receive({ type: 'scanned', installed: { presenter: '4.1.3', timer: '1.6.0', ghost: '9', capture: 2 } });
  assert.equal(await done, true);
  const state = app.store.get();
  assert.deepEqual(state.catalog.installed, { presenter: '4.1.3', timer: '1.6.0' });
  assert.equal(state.catalog.error, null);
  assert.equal(state.catalog.source, 'live');
  // The running program counts as installed in its own version.
  assert.deepEqual(states(app), { suite: 'update', presenter: 'update', capture: 'missing', timer: 'current' });
  assert.equal(state.check.lastOk, true);
  assert.deepEqual(timers.delays(), [], 'no wait left behind');
});

test('offline or unusable catalogs keep the last known products and say why', async (t) => {
  const warned = t.mock.method(console, 'warn', () => {});
  const { app, posts, receive } = await checked({ presenter: '4.2.0' });

  let done = app.checkForUpdates();
  await receive({ type: 'catalog', ok: false, offline: true });
  assert.equal(await done, false);
  assert.equal(app.store.get().catalog.error, 'offline');
  assert.equal(app.store.get().catalog.products.length, 4, 'last known products stay');
  assert.equal(states(app).presenter, 'current');
  assert.equal(posts.some((m) => m.type === 'scan'), false);

  for (const event of [
    { type: 'catalog', ok: false, offline: false },
    { type: 'catalog', ok: true, url: CATALOG_URLS[1], text: '{"products": "none"}' },
    { type: 'catalog', ok: true, url: CATALOG_URLS[1] },
  ]) {
    done = app.checkForUpdates();
    await receive(event);
    assert.equal(await done, false, JSON.stringify(event));
    assert.equal(app.store.get().catalog.error, 'unavailable', JSON.stringify(event));
  }
  assert.equal(posts.some((m) => m.type === 'scan'), false);
  assert.match(String(warned.mock.calls.at(-1)?.arguments[1]), /no "products" list/, 'the reason is logged');

  // A later success clears the failure.
  done = app.checkForUpdates();
  await receive({ type: 'catalog', ok: true, url: CATALOG_URLS[0], text: CATALOG });
  await receive({ type: 'scanned', installed: {} });
  assert.equal(await done, true);
  assert.equal(app.store.get().catalog.error, null);
});

test('demo mode falls back to the bundled sample, scans it, and only then adds its example installs', async () => {
  for (const failure of [{ ok: false, offline: true }, { ok: false, offline: false }]) {
    const { app, posts, receive, samples } = started({ init: { ...INIT, demo: true } });
    const done = app.checkForUpdates();
    await receive({ type: 'catalog', ...failure });
    assert.equal(samples(), 1);
    const scan = posts.find((m) => m.type === 'scan');
    const sample = JSON.parse(SAMPLE);
    assert.deepEqual(scan.apps.map((i) => i.id), sample.products.map((p) => p.id));

    // The real scan wins over the sample's pretend versions.
    const [pretend] = Object.keys(sample.demoInstalled);
    await receive({ type: 'scanned', installed: { [pretend]: '999' } });
    assert.equal(await done, true);
    const { catalog } = app.store.get();
    assert.equal(catalog.source, 'sample');
    assert.deepEqual(catalog.installed, { ...sample.demoInstalled, [pretend]: '999' });
    assert.deepEqual(new Set(Object.values(states(app))), new Set(['missing', 'update', 'current']),
      'the showcase has every state');
  }
});

test('example installs are used only from the sample in demo mode', async () => {
  const withPretend = doc([product()], { demoInstalled: { 'talven.presenter': '4.2.0' } });

  const demo = started({ init: { ...INIT, demo: true } });
  let done = demo.app.checkForUpdates();
  await demo.receive({ type: 'catalog', ok: true, url: CATALOG_URLS[0], text: withPretend });
  await demo.receive({ type: 'scanned', installed: {} });
  await done;
  assert.deepEqual(demo.app.store.get().catalog.installed, {}, 'a fetched catalog cannot pretend');

  const real = started({ sample: async () => withPretend });
  done = real.app.checkForUpdates();
  await real.receive({ type: 'catalog', ok: false, offline: true });
  assert.equal(await done, false);
  assert.equal(real.samples(), 0, 'outside demo mode the sample is never loaded');
  assert.equal(real.app.store.get().catalog.source, null);
});

test('a demo whose sample cannot be loaded ends like any failed check', async (t) => {
  const warned = t.mock.method(console, 'warn', () => {});
  const { app, receive } = started({ init: { ...INIT, demo: true }, sample: async () => { throw new Error('404'); } });
  const done = app.checkForUpdates();
  await receive({ type: 'catalog', ok: false, offline: true });
  assert.equal(await done, false);
  assert.equal(app.store.get().catalog.error, 'offline');
  assert.match(String(warned.mock.calls[0].arguments[1]), /sample: 404/);
});

test('a fetch or scan without an answer ends the check, and a late answer changes nothing', async () => {
  const fetchLost = started();
  let done = fetchLost.app.checkForUpdates();
  fetchLost.timers.expire();
  assert.equal(await done, false);
  assert.deepEqual([fetchLost.app.store.get().catalog.error, fetchLost.app.store.get().check.running], ['timeout', false]);
  await fetchLost.receive({ type: 'catalog', ok: true, url: CATALOG_URLS[0], text: CATALOG });
  assert.equal(fetchLost.posts.some((m) => m.type === 'scan'), false, 'no scan for a check that ended');

  const scanLost = started();
  done = scanLost.app.checkForUpdates();
  await scanLost.receive({ type: 'catalog', ok: true, url: CATALOG_URLS[0], text: CATALOG });
  scanLost.timers.expire();
  assert.equal(await done, false);
  assert.equal(scanLost.app.store.get().catalog.error, 'timeout');
  assert.deepEqual(scanLost.app.store.get().catalog.products, [], 'nothing half-checked is shown');
});

test('checks started while one runs join it: one fetch, one scan, one outcome', async () => {
  const { app, posts, receive } = started();
  const first = app.checkForUpdates();
  const second = app.checkForUpdates();
  await receive({ type: 'checkNow' });
  assert.equal(posts.filter((m) => m.type === 'fetchCatalog').length, 1);
  await receive({ type: 'catalog', ok: true, url: CATALOG_URLS[0], text: CATALOG });
  app.checkForUpdates();
  await receive({ type: 'scanned', installed: {} });
  assert.deepEqual(await Promise.all([first, second]), [true, true]);
  assert.deepEqual(posts.map((m) => m.type).filter((type) => type !== 'save'), ['fetchCatalog', 'scan']);
});

test('the page checks once per load when asked to, as soon as "init" arrives', () => {
  const posts = [];
  const win = {};
  const app = createApp({ post: (m) => { posts.push(m); }, timers: manualTimers(), checkOnStart: true });
  app.connect(win);
  assert.deepEqual(posts.map((m) => m.type), ['ready']);
  win.Suite.receive({ ...INIT });
  win.Suite.receive({ ...INIT });
  assert.deepEqual(posts.map((m) => m.type), ['ready', 'fetchCatalog']);
});

test('without a native host the check ends at once instead of waiting', async () => {
  const win = {};
  const timers = manualTimers();
  const app = createApp({ post: () => false, timers });
  app.connect(win);
  win.Suite.receive({ ...INIT });
  assert.equal(await app.checkForUpdates(), false);
  assert.equal(app.store.get().catalog.error, 'unavailable');
  assert.deepEqual(timers.delays(), []);
});

test('"Update all" asks to install every product with an update, the program itself last', async () => {
  const { app, posts } = await checked({ presenter: '4.1', timer: '1.6.0', suite: '1.0.0' });
  assert.equal(app.updateAll(), true);
  assert.deepEqual(posts.map((m) => Object.keys(m).sort()), [['items', 'type']]);
  assert.equal(posts[0].type, 'install');
  assert.deepEqual(posts[0].items.map((i) => i.id), ['presenter', 'suite']);
  assert.deepEqual(posts[0].items[1], {
    id: 'suite', group: 'app', detect: { apps: ['TALVEN Suite.app'], receipts: [] }, version: '1.1.0',
    url: 'https://downloads.brenlow.example/suite/presenter.pkg', file: 'presenter.pkg', sha256: HEX, self: true,
  });

  // Products on their way are not asked for again, whatever the button.
  assert.equal(app.updateAll(), false);
  app.setSelected('presenter', true);
  assert.deepEqual(app.store.get().selected, []);
  assert.equal(posts.length, 1);
});

test('only installable products can be selected, and "Install selected" sends those', async () => {
  const { app, posts } = await checked({ presenter: '4.1', timer: '1.6.0' });
  app.setSelected('timer', true);      // up to date
  app.setSelected('nothing', true);    // not in the catalog
  assert.deepEqual(app.store.get().selected, []);
  assert.equal(app.installSelected(), false, 'nothing selected, nothing sent');

  app.setSelected('suite', true);
  app.setSelected('capture', true);
  app.setSelected('presenter', true);
  app.setSelected('presenter', false);
  assert.equal(app.installSelected(), true);
  assert.deepEqual(posts.map((m) => [m.type, m.items.map((i) => i.id)]), [['install', ['capture', 'suite']]]);
  assert.deepEqual(app.store.get().selected, [], 'the request clears the selection');
});

test('a selection that became current after a check is dropped', async () => {
  const { app, receive } = await checked({});
  app.setSelected('presenter', true);
  const done = app.checkForUpdates();
  await receive({ type: 'catalog', ok: true, url: CATALOG_URLS[0], text: CATALOG });
  await receive({ type: 'scanned', installed: { presenter: '4.2.0' } });
  await done;
  assert.deepEqual(app.store.get().selected, []);
});

test('"Open" sends the detection rules of an installed application, and nothing else opens', async () => {
  const { app, posts } = await checked({ presenter: '4.1', capture: '2.0', timer: '1.6.0', suite: '1.1.0' });
  assert.equal(app.openProduct('capture'), true);
  assert.deepEqual(posts, [{ type: 'open', detect: { apps: ['Capture.app'], receipts: ['com.brenlow.capture'] } }]);

  posts.length = 0;
  const none = await checked({ timer: '1.6.0' });
  for (const id of ['presenter', 'timer', 'suite', 'ghost']) assert.equal(none.app.openProduct(id), false, id);
  assert.equal(app.openProduct('timer'), false, 'add-ins have nothing to open');
  assert.equal(app.openProduct('suite'), false, 'the program is already open');
  assert.deepEqual([...posts, ...none.posts], []);
});
