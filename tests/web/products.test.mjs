// The update check against a fake native side, and the install and open
// requests that follow from its outcome. The end-to-end flows see a check and
// an install that go well; these are the cases around them.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';

import { MAX_PRODUCTS } from '../../web/js/catalog.js';
import { catalogUrls } from '../../web/js/config.js';
import { productRows } from '../../web/js/inventory.js';
import { DEB, HEX, INIT, PKG, doc, product, startApp } from './fixtures.mjs';

const SAMPLE = readFileSync(new URL('../../web/data/sample-catalog.json', import.meta.url), 'utf8');
const DEMO = { ...INIT, demo: true };
const fetched = (text, url = catalogUrls('brenlow.example')[0]) => ({ type: 'catalog', ok: true, url, text });
const offline = { type: 'catalog', ok: false, offline: true };
const scanned = (installed) => ({ type: 'scanned', installed });
const FETCHED = fetched(doc([
  product({ id: 'suite', self: true, packages: {
    pkg: { ...PKG, version: '1.1.0', detect: { apps: ['TALVEN Suite.app'] } }, deb: { ...DEB, version: '1.1.0-1' } } }),
  product({ id: 'presenter', version: '4.2.0', packages: { pkg: PKG, deb: DEB } }),
  product({ id: 'capture', version: '2.0', detect: { apps: ['Capture.app'], receipts: ['com.brenlow.capture'] } }),
  product({ id: 'timer', group: 'addin', version: '1.6.0', detect: { receipts: ['com.brenlow.timer'] } }),
  product({ id: 'board', packages: { deb: DEB } }),
]));

// An app whose bounded waits the test runs out by hand, and whose sample is `sample`.
function started({ sample = async () => SAMPLE, ...options } = {}) {
  const pending = new Map();
  let nextId = 1;
  let samples = 0;
  const timers = {
    setTimer: (fn) => { pending.set(nextId, fn); return nextId++; },
    clearTimer: (id) => pending.delete(id),
  };
  const env = startApp({ timers, loadSample: () => (samples++, sample()), ...options });
  const receive = async (event) => { env.receive(event); await new Promise((r) => setImmediate(r)); };
  // Starts a check and answers it with `events`; its outcome.
  const check = async (...events) => {
    const done = env.app.checkForUpdates();
    for (const event of events) await receive(event);
    return done;
  };
  const expire = () => { for (const [id, fn] of [...pending]) { pending.delete(id); fn(); } };
  const state = () => env.app.store.get();
  return { ...env, receive, check, expire, state, waits: () => pending.size, samples: () => samples };
}

async function checked(installed, options) {
  const env = started(options);
  assert.equal(await env.check(FETCHED, scanned(installed)), true);
  env.posts.length = 0;
  return env;
}

const states = (env) => Object.fromEntries(productRows(env.state()).map((r) => [r.product.id, r.state]));

test('a scan answer counts only the products asked for, and the running program as its own version', async () => {
  // "board" has no installer package: it is neither looked for nor offered.
  const env = await checked({ presenter: '4.1.3', timer: '1.6.0', ghost: '9', capture: 2, board: '1.0' });
  assert.deepEqual(env.state().catalog.installed, new Map([['presenter', '4.1.3'], ['timer', '1.6.0']]));
  assert.deepEqual(states(env),
    { suite: 'update', presenter: 'update', capture: 'missing', timer: 'current', board: 'unavailable' });
  assert.equal(env.waits(), 0, 'no wait left behind');
});

test('offline or unusable catalogs keep the last known products and say why', async (t) => {
  const warned = t.mock.method(console, 'warn', () => {});
  const env = await checked({ presenter: '4.2.0' });
  for (const [event, error] of [
    [offline, 'offline'],
    [{ type: 'catalog', ok: false, offline: false }, 'unavailable'],
    // Why the native side refused the last signed document it got.
    [{ type: 'catalog', ok: false, offline: false, reason: 'signature' }, 'unavailable'],
    [{ type: 'catalog', ok: false, offline: false, reason: 'rollback' }, 'outdated'],
    [{ type: 'catalog', ok: false, offline: false, reason: 'expired' }, 'outdated'],
    [fetched('{"products": "none"}', catalogUrls('brenlow.example')[1]), 'unavailable'],
    [fetched(undefined, catalogUrls('brenlow.example')[1]), 'unavailable'],
  ]) {
    assert.equal(await env.check(event), false, JSON.stringify(event));
    assert.deepEqual([env.state().catalog.error, states(env).presenter], [error, 'current'], JSON.stringify(event));
  }
  assert.equal(env.posts.some((m) => m.type === 'scan'), false);
  assert.match(String(warned.mock.calls.at(-1)?.arguments[1]), /no "products" list/, 'the reason is logged');
  assert.equal(await env.check(FETCHED, scanned({})), true);
  assert.equal(env.state().catalog.error, null, 'a later success clears the failure');
});

test('demo mode falls back to the bundled sample, scans it, and only then adds its example installs', async () => {
  const sample = JSON.parse(SAMPLE);
  const [pretend] = Object.keys(sample.demoInstalled);
  const kinds = [[offline, 'pkg'], [{ type: 'catalog', ok: false, offline: false }, 'deb']];
  for (const [failure, packages] of kinds) {
    const env = started({ init: { ...DEMO, packages } });
    // The real scan wins over the sample's pretend versions.
    const found = { [pretend]: '999', 'talven.suite': '0.9' };
    assert.equal(await env.check(failure, scanned(found)), true);
    assert.deepEqual(env.posts.find((m) => m.type === 'scan').apps.map((i) => i.id),
      sample.products.filter((p) => p.packages[packages]).map((p) => p.id));
    const { catalog } = env.state();
    assert.deepEqual([catalog.source, catalog.installed],
      ['sample', new Map(Object.entries({ ...sample.demoInstalled, ...found }))]);
    // On this Debian host the showcase also shows add-ins without a Debian package.
    const shown = ['missing', 'update', 'current', ...(packages === 'deb' ? ['unavailable'] : [])];
    assert.deepEqual(new Set(Object.values(states(env))), new Set(shown), 'the showcase has every state');
  }
});

test('a Debian host looks for, orders and installs each product by its Debian package', async () => {
  const env = started({ init: { ...INIT, packages: 'deb' } });
  assert.equal(await env.check(FETCHED, scanned({ presenter: '4.2.0~rc1', board: '4.2.0-1', timer: '1.0' })), true);
  const [item, ...others] = env.posts.find((m) => m.type === 'scan').apps;
  assert.deepEqual(item, {
    id: 'suite', group: 'app', detect: { apps: [], receipts: ['talven-presenter'] }, version: '1.1.0-1', url: DEB.url,
    file: DEB.file, sha256: HEX, size: DEB.size, self: true,
  });
  assert.deepEqual(others.map((i) => [i.id, i.file]), [['presenter', DEB.file], ['board', DEB.file]]);
  assert.deepEqual(states(env),
    { suite: 'update', presenter: 'update', capture: 'unavailable', timer: 'unavailable', board: 'current' });
  env.posts.length = 0;
  assert.deepEqual([env.app.installProduct('capture'), env.app.updateAll()], [false, true]);
  assert.deepEqual(env.posts.map((m) => [m.type, m.items.map((i) => [i.id, i.version])]),
    [['install', [['presenter', '4.2.0-1'], ['suite', '1.1.0-1']]]]);
});

test('where installing is not supported, the products are shown and nothing is looked for or installed', async () => {
  const env = started({ init: { ...INIT, packages: '' } });
  assert.equal(await env.check(FETCHED), true, 'no scan to wait for');
  assert.deepEqual(new Set(Object.values(states(env))), new Set(['unsupported']));
  env.app.setSelected('presenter', true);
  env.receive({ type: 'notifAction', action: 'update' });
  assert.deepEqual([env.app.installSelected(), env.app.updateAll(), env.app.installProduct('presenter')], [false, false, false]);
  assert.deepEqual(env.posts.map((m) => m.type).filter((type) => type !== 'save'), ['fetchCatalog']);
});

test('example installs come only from the sample in demo mode, and a missing sample is a failed check', async (t) => {
  const warned = t.mock.method(console, 'warn', () => {});
  const withPretend = doc([product()], { demoInstalled: { 'talven.presenter': '4.2.0' } });
  const demo = started({ init: DEMO });
  await demo.check(fetched(withPretend), scanned({}));
  assert.deepEqual(demo.state().catalog.installed, new Map(), 'a fetched catalog cannot pretend');

  const real = started({ sample: async () => withPretend });
  assert.equal(await real.check(offline), false);
  assert.equal(real.samples(), 0, 'outside demo mode the sample is never loaded');

  const lost = started({ init: DEMO, sample: async () => { throw new Error('404'); } });
  assert.equal(await lost.check(offline), false);
  assert.equal(lost.state().catalog.error, 'offline');
  assert.match(String(warned.mock.calls[0].arguments[1]), /sample: 404/);
});

test('a fetch or scan without an answer ends the check, and a late answer changes nothing', async () => {
  const fetchLost = started();
  const done = fetchLost.check();
  fetchLost.expire();
  assert.equal(await done, false);
  assert.deepEqual([fetchLost.state().catalog.error, fetchLost.state().check.running], ['timeout', false]);
  await fetchLost.receive(FETCHED);
  assert.equal(fetchLost.posts.some((m) => m.type === 'scan'), false, 'no scan for a check that ended');

  const scanLost = started();
  const scanning = scanLost.check(FETCHED);
  await new Promise((r) => setImmediate(r));
  scanLost.expire();
  assert.equal(await scanning, false);
  assert.deepEqual([scanLost.state().catalog.error, scanLost.state().catalog.products], ['timeout', []],
    'nothing half-checked is shown');
});

test('checks started while one runs join it: one fetch, one scan, one outcome', async () => {
  const env = started();
  const first = env.app.checkForUpdates();
  const second = env.app.checkForUpdates();
  await env.receive({ type: 'checkNow' });
  await env.receive(FETCHED);
  env.app.checkForUpdates();
  await env.receive(scanned({}));
  assert.deepEqual(await Promise.all([first, second]), [true, true]);
  assert.deepEqual(env.posts.map((m) => m.type).filter((type) => type !== 'save'), ['fetchCatalog', 'scan']);
});

test('the page checks once per load when asked to, and at once gives up without a native host', async () => {
  const { posts, receive } = started({ init: null, checkOnStart: true });
  receive({ ...INIT });
  receive({ ...INIT });
  assert.deepEqual(posts.map((m) => m.type), ['fetchCatalog']);

  const alone = started({ post: () => false });
  assert.equal(await alone.app.checkForUpdates(), false);
  assert.deepEqual([alone.state().catalog.error, alone.waits()], ['unavailable', 0]);
});

test('only installable products can be selected, and a selection that became current is dropped', async () => {
  const env = await checked({ presenter: '4.1', timer: '1.6.0' });
  const { app, posts } = env;
  app.setSelected('timer', true);      // up to date
  app.setSelected('board', true);      // nothing for this host
  app.setSelected('nothing', true);    // not in the catalog
  assert.equal(app.installSelected(), false, 'nothing selected, nothing sent');
  for (const [id, on] of [['capture', true], ['presenter', true], ['presenter', false]]) app.setSelected(id, on);
  assert.equal(app.installSelected(), true);
  assert.deepEqual(posts.map((m) => [m.type, m.items.map((i) => i.id)]), [['install', ['capture']]]);
  assert.deepEqual(env.state().selected, [], 'the request clears the selection');

  app.setSelected('suite', true);
  await env.check(FETCHED, scanned({ suite: '1.1.0' }));
  assert.deepEqual(env.state().selected, []);
});

test('"Open" sends the detection rules of an installed application, on a Debian host its desktop entry, and nothing else opens', async () => {
  const { app, posts } = await checked({ presenter: '4.1', capture: '2.0', timer: '1.6.0' });
  for (const id of ['timer', 'suite', 'ghost']) assert.equal(app.openProduct(id), false, id);
  assert.equal(app.openProduct('capture'), true);
  assert.deepEqual(posts, [{ type: 'open', detect: { apps: ['Capture.app'], receipts: ['com.brenlow.capture'] } }]);
  const none = await checked({});
  assert.deepEqual([none.app.openProduct('presenter'), none.posts], [false, []], 'not installed');

  const deb = (desktop) => ({ ...DEB, detect: { receipts: ['talven-presenter'], ...(desktop ? { desktop } : {}) } });
  const env = started({ init: { ...INIT, packages: 'deb' } });
  await env.check(fetched(doc([
    product({ id: 'presenter', version: '4.2.0', packages: { deb: deb('com.brenlow.Presenter.desktop') } }),
    product({ id: 'board', version: '4.2.0', packages: { deb: deb() } }),
  ])), scanned({ presenter: '4.2.0-1', board: '4.2.0-1' }));
  env.posts.length = 0;
  assert.deepEqual([env.app.openProduct('presenter'), env.app.openProduct('board')], [true, false], 'no entry, no "Open"');
  assert.deepEqual(env.posts, [{ type: 'open',
    detect: { apps: [], receipts: ['talven-presenter'], desktop: 'com.brenlow.Presenter.desktop' } }]);
});

test('a product whose id every object has as a member ("constructor") is a product like any other', async () => {
  const env = started();
  const catalog = fetched(doc([product({ id: 'constructor' })]));
  assert.equal(await env.check(catalog, scanned({ constructor: '4.1' })), true);
  const rows = () => productRows(env.state()).map((r) => [r.product.id, r.state, r.busy, r.selectable]);
  assert.deepEqual(rows(), [['constructor', 'update', false, true]]);
  env.app.setSelected('constructor', true);
  assert.equal(env.app.installSelected(), true);
  await env.receive({ type: 'result', id: 'constructor', ok: true, version: '4.2.0' });
  assert.deepEqual(rows()[0], ['constructor', 'current', false, false]);
});

test('of a longer catalog only the first products are read and scanned, and how many were left out is kept', async (t) => {
  const warned = t.mock.method(console, 'warn', () => {});
  const env = started();
  const many = Array.from({ length: MAX_PRODUCTS + 3 }, (_, i) => product({ id: `p${i}` }));
  assert.equal(await env.check(fetched(doc(many)), scanned({})), true);
  const { catalog } = env.state();
  assert.deepEqual([catalog.products.length, catalog.products.at(-1).id, catalog.leftOut],
    [MAX_PRODUCTS, `p${MAX_PRODUCTS - 1}`, 3]);
  assert.equal(env.posts.find((m) => m.type === 'scan').apps.length, MAX_PRODUCTS);
  assert.match(String(warned.mock.calls[0].arguments[1]), new RegExp(`only the first ${MAX_PRODUCTS} are read, the other 3 are left out`));
  assert.ok(MAX_PRODUCTS >= 20_000, 'catalogs of ten thousand products and more are read whole');
  await env.check(FETCHED, scanned({}));
  assert.equal(env.state().catalog.leftOut, 0);
});
