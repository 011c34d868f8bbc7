// The update check against a fake native side, and the install and open
// requests that follow from its outcome. The end-to-end flows see a check and
// an install that go well; these are the cases around them.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';

import { CATALOG_URLS } from '../../web/js/config.js';
import { productRows } from '../../web/js/inventory.js';
import { INIT, doc, product, startApp } from './fixtures.mjs';

const SAMPLE = readFileSync(new URL('../../web/data/sample-catalog.json', import.meta.url), 'utf8');
const DEMO = { ...INIT, demo: true };

const CATALOG = doc([
  product({ id: 'suite', self: true, version: '1.1.0', detect: { apps: ['TALVEN Suite.app'] } }),
  product({ id: 'presenter', version: '4.2.0' }),
  product({ id: 'capture', version: '2.0', detect: { apps: ['Capture.app'], receipts: ['com.brenlow.capture'] } }),
  product({ id: 'timer', group: 'addin', version: '1.6.0', detect: { receipts: ['com.brenlow.timer'] } }),
]);
const FETCHED = { type: 'catalog', ok: true, url: CATALOG_URLS[0], text: CATALOG };

// Timers the test expires by hand, so bounded waits run out instantly.
function manualTimers() {
  const pending = new Map();
  let nextId = 1;
  return {
    setTimer: (fn, ms) => { pending.set(nextId, fn); return nextId++; },
    clearTimer: (id) => pending.delete(id),
    count: () => pending.size,
    expire() { for (const [id, fn] of [...pending]) { pending.delete(id); fn(); } },
  };
}

function started({ sample = async () => SAMPLE, ...options } = {}) {
  const timers = manualTimers();
  let samples = 0;
  const env = startApp({ timers, loadSample: () => (samples++, sample()), ...options });
  const receive = async (event) => { env.receive(event); await new Promise((r) => setImmediate(r)); };
  return { ...env, timers, receive, samples: () => samples };
}

// One whole check with the given scan answer.
async function checked(installed, options) {
  const env = started(options);
  const done = env.app.checkForUpdates();
  await env.receive(FETCHED);
  await env.receive({ type: 'scanned', installed });
  assert.equal(await done, true);
  env.posts.length = 0;
  return env;
}

const states = (app) => Object.fromEntries(productRows(app.store.get()).map((r) => [r.product.id, r.state]));

test('a scan answer counts only the products asked for, and the running program as its own version', async () => {
  const { app, timers } = await checked({ presenter: '4.1.3', timer: '1.6.0', ghost: '9', capture: 2 });
  assert.deepEqual(app.store.get().catalog.installed, { presenter: '4.1.3', timer: '1.6.0' });
  assert.deepEqual(states(app), { suite: 'update', presenter: 'update', capture: 'missing', timer: 'current' });
  assert.equal(timers.count(), 0, 'no wait left behind');
});

test('offline or unusable catalogs keep the last known products and say why', async (t) => {
  const warned = t.mock.method(console, 'warn', () => {});
  const { app, posts, receive } = await checked({ presenter: '4.2.0' });
  for (const [event, error] of [
    [{ type: 'catalog', ok: false, offline: true }, 'offline'],
    [{ type: 'catalog', ok: false, offline: false }, 'unavailable'],
    [{ type: 'catalog', ok: true, url: CATALOG_URLS[1], text: '{"products": "none"}' }, 'unavailable'],
    [{ type: 'catalog', ok: true, url: CATALOG_URLS[1] }, 'unavailable'],
  ]) {
    const done = app.checkForUpdates();
    await receive(event);
    assert.equal(await done, false, JSON.stringify(event));
    assert.equal(app.store.get().catalog.error, error, JSON.stringify(event));
    assert.equal(states(app).presenter, 'current', 'last known products stay');
  }
  assert.deepEqual(posts.map((m) => m.type), ['fetchCatalog', 'fetchCatalog', 'fetchCatalog', 'fetchCatalog']);
  assert.match(String(warned.mock.calls.at(-1)?.arguments[1]), /no "products" list/, 'the reason is logged');

  // A later success clears the failure.
  const done = app.checkForUpdates();
  await receive(FETCHED);
  await receive({ type: 'scanned', installed: {} });
  assert.equal(await done, true);
  assert.equal(app.store.get().catalog.error, null);
});

test('demo mode falls back to the bundled sample, scans it, and only then adds its example installs', async () => {
  const sample = JSON.parse(SAMPLE);
  const [pretend] = Object.keys(sample.demoInstalled);
  for (const failure of [{ ok: false, offline: true }, { ok: false, offline: false }]) {
    const { app, posts, receive, samples } = started({ init: DEMO });
    const done = app.checkForUpdates();
    await receive({ type: 'catalog', ...failure });
    assert.equal(samples(), 1);
    assert.deepEqual(posts.find((m) => m.type === 'scan').apps.map((i) => i.id), sample.products.map((p) => p.id));
    // The real scan wins over the sample's pretend versions.
    await receive({ type: 'scanned', installed: { [pretend]: '999' } });
    assert.equal(await done, true);
    const { catalog } = app.store.get();
    assert.equal(catalog.source, 'sample');
    assert.deepEqual(catalog.installed, { ...sample.demoInstalled, [pretend]: '999' });
    assert.deepEqual(new Set(Object.values(states(app))), new Set(['missing', 'update', 'current']),
      'the showcase has every state');
  }
});

test('example installs come only from the sample in demo mode, and a missing sample is a failed check', async (t) => {
  const warned = t.mock.method(console, 'warn', () => {});
  const withPretend = doc([product()], { demoInstalled: { 'talven.presenter': '4.2.0' } });
  const demo = started({ init: DEMO });
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

  const lost = started({ init: DEMO, sample: async () => { throw new Error('404'); } });
  done = lost.app.checkForUpdates();
  await lost.receive({ type: 'catalog', ok: false, offline: true });
  assert.equal(await done, false);
  assert.equal(lost.app.store.get().catalog.error, 'offline');
  assert.match(String(warned.mock.calls[0].arguments[1]), /sample: 404/);
});

test('a fetch or scan without an answer ends the check, and a late answer changes nothing', async () => {
  const fetchLost = started();
  let done = fetchLost.app.checkForUpdates();
  fetchLost.timers.expire();
  assert.equal(await done, false);
  assert.deepEqual([fetchLost.app.store.get().catalog.error, fetchLost.app.store.get().check.running], ['timeout', false]);
  await fetchLost.receive(FETCHED);
  assert.equal(fetchLost.posts.some((m) => m.type === 'scan'), false, 'no scan for a check that ended');

  const scanLost = started();
  done = scanLost.app.checkForUpdates();
  await scanLost.receive(FETCHED);
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
  await receive(FETCHED);
  app.checkForUpdates();
  await receive({ type: 'scanned', installed: {} });
  assert.deepEqual(await Promise.all([first, second]), [true, true]);
  assert.deepEqual(posts.map((m) => m.type).filter((type) => type !== 'save'), ['fetchCatalog', 'scan']);
});

test('the page checks once per load when asked to, and at once gives up without a native host', async () => {
  const { posts, receive } = started({ init: null, checkOnStart: true });
  receive({ ...INIT });
  receive({ ...INIT });
  assert.deepEqual(posts.map((m) => m.type), ['fetchCatalog']);

  const alone = started({ post: () => false });
  assert.equal(await alone.app.checkForUpdates(), false);
  assert.equal(alone.app.store.get().catalog.error, 'unavailable');
  assert.equal(alone.timers.count(), 0);
});

test('"Update all" asks for every product with an update, and none that is on its way', async () => {
  const { app, posts } = await checked({ presenter: '4.1', timer: '1.6.0', suite: '1.0.0' });
  assert.equal(app.updateAll(), true);
  assert.deepEqual(posts.map((m) => [m.type, m.items.map((i) => i.id)]), [['install', ['presenter', 'suite']]]);
  assert.equal(app.updateAll(), false);
  app.setSelected('presenter', true);
  assert.deepEqual(app.store.get().selected, []);
  assert.equal(posts.length, 1);
});

test('only installable products can be selected, and a selection that became current is dropped', async () => {
  const { app, posts, receive } = await checked({ presenter: '4.1', timer: '1.6.0' });
  app.setSelected('timer', true);      // up to date
  app.setSelected('nothing', true);    // not in the catalog
  assert.equal(app.installSelected(), false, 'nothing selected, nothing sent');

  app.setSelected('capture', true);
  app.setSelected('presenter', true);
  app.setSelected('presenter', false);
  assert.equal(app.installSelected(), true);
  assert.deepEqual(posts.map((m) => [m.type, m.items.map((i) => i.id)]), [['install', ['capture']]]);
  assert.deepEqual(app.store.get().selected, [], 'the request clears the selection');

  app.setSelected('suite', true);
  const done = app.checkForUpdates();
  await receive(FETCHED);
  await receive({ type: 'scanned', installed: { suite: '1.1.0' } });
  await done;
  assert.deepEqual(app.store.get().selected, []);
});

test('"Open" sends the detection rules of an installed application, and nothing else opens', async () => {
  const { app, posts } = await checked({ presenter: '4.1', capture: '2.0', timer: '1.6.0' });
  for (const id of ['timer', 'suite', 'ghost']) assert.equal(app.openProduct(id), false, id);
  assert.equal(app.openProduct('capture'), true);
  assert.deepEqual(posts, [{ type: 'open', detect: { apps: ['Capture.app'], receipts: ['com.brenlow.capture'] } }]);
  const none = await checked({});
  assert.equal(none.app.openProduct('presenter'), false, 'not installed');
  assert.deepEqual(none.posts, []);
});
