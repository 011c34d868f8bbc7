// The update check against a fake native side, and the install requests that
// follow from its outcome. The end-to-end flows see a check and an install that
// go well; these are the cases around them.
import { test } from 'node:test';
import assert from 'node:assert/strict';

import { MAX_PRODUCTS } from '../../web/js/catalog.js';
import { catalogUrls } from '../../web/js/config.js';
import { productRows } from '../../web/js/inventory.js';
import { DEB, HEX, INIT, PKG, RPM, doc, product, startApp } from './fixtures.mjs';

const fetched = (text, url = catalogUrls('brenlow.example')[0]) => ({ type: 'catalog', ok: true, url, text });
const offline = { type: 'catalog', ok: false, offline: true };
const scanned = (installed) => ({ type: 'scanned', installed });
const FETCHED = fetched(doc([
  product({ id: 'suite', self: true, packages: {
    pkg: { ...PKG, version: '1.1.0', detect: { apps: ['TALVEN Suite.app'] } }, deb: { ...DEB, version: '1.1.0-1' },
    rpm: { ...RPM, version: '1.1.0-1' } } }),
  product({ id: 'presenter', version: '4.2.0', packages: { pkg: PKG, deb: DEB, rpm: RPM } }),
  product({ id: 'capture', version: '2.0', detect: { apps: ['Capture.app'], receipts: ['com.brenlow.capture'] } }),
  product({ id: 'timer', group: 'addin', version: '1.6.0', detect: { receipts: ['com.brenlow.timer'] } }),
  product({ id: 'board', packages: { deb: [{ ...DEB, arch: 'amd64', version: '9' }, { ...DEB, arch: 'arm64' }],
    rpm: [{ ...RPM, arch: 'x86_64', version: '9-1' }, { ...RPM, arch: 'aarch64' }] } }),
  product({ id: 'tablet', packages: { deb: [{ ...DEB, arch: 'amd64' }], rpm: [{ ...RPM, arch: 'x86_64' }] } }),
]));

// An app whose bounded waits are counted and never run out.
function started(options = {}) {
  const pending = new Map();
  let nextId = 1;
  const timers = {
    setTimer: (fn) => { pending.set(nextId, fn); return nextId++; },
    clearTimer: (id) => pending.delete(id),
  };
  const env = startApp({ timers, ...options });
  const receive = async (event) => { env.receive(event); await new Promise((r) => setImmediate(r)); };
  // Starts a check and answers it with `events`; its outcome.
  const check = async (...events) => {
    const done = env.app.checkForUpdates();
    for (const event of events) await receive(event);
    return done;
  };
  const state = () => env.app.store.get();
  return { ...env, receive, check, state, waits: () => pending.size };
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
  assert.deepEqual(states(env), { suite: 'update', presenter: 'update', capture: 'missing', timer: 'current',
    board: 'unavailable', tablet: 'unavailable' });
  assert.equal(env.waits(), 0, 'no wait left behind');
});

test('offline or unusable catalogs keep the last known products and say why', async (t) => {
  const warned = t.mock.method(console, 'warn', () => {});
  const env = await checked({ presenter: '4.2.0' });
  for (const [event, error] of [
    [offline, 'offline'],
    [{ type: 'catalog', ok: false, offline: false }, 'unavailable'],
    // Why the native side refused the last signed document it got.
    [{ type: 'catalog', ok: false, offline: false, reason: 'rollback' }, 'outdated'],
    [{ type: 'catalog', ok: false, offline: false, reason: 'future' }, 'clock'],
    [fetched('{"products": "none"}', catalogUrls('brenlow.example')[1]), 'unavailable'],
  ]) {
    assert.equal(await env.check(event), false, JSON.stringify(event));
    assert.deepEqual([env.state().catalog.error, states(env).presenter], [error, 'current'], JSON.stringify(event));
  }
  assert.equal(env.posts.some((m) => m.type === 'scan'), false);
  assert.match(String(warned.mock.calls.at(-1)?.arguments[1]), /no "products" list/, 'the reason is logged');
  assert.equal(await env.check(FETCHED, scanned({})), true);
  assert.equal(env.state().catalog.error, null, 'a later success clears the failure');
});

// "board" has a package for this machine's architecture, "tablet" only one for another; the
// installed presenter is older than the catalog's only by the kind's rule (no "~", no epoch).
test('a Linux host looks for, orders and installs each product by its package of the kind for its architecture', async () => {
  for (const [packages, base, arch, presenter] of [['deb', DEB, 'arm64', '4.2.0~rc1'], ['rpm', RPM, 'aarch64', '4.2.0-9']]) {
    const env = started({ init: { ...INIT, packages, arch } });
    assert.equal(await env.check(FETCHED, scanned({ presenter, board: base.version, timer: '1.0', tablet: '1' })), true);
    const scan = env.posts.find((m) => m.type === 'scan').apps;
    const detect = { apps: [], receipts: base.detect.receipts };
    assert.deepEqual(scan[0], { id: 'suite', group: 'app', detect });
    assert.deepEqual(scan.map((i) => i.id), ['suite', 'presenter', 'board']);
    assert.deepEqual(states(env), { suite: 'update', presenter: 'update', capture: 'unavailable', timer: 'unavailable',
      board: 'current', tablet: 'unavailable' }, packages);
    env.posts.length = 0;
    assert.deepEqual([env.app.installProduct('capture'), env.app.installProduct('tablet'), env.app.updateAll()],
      [false, false, true]);
    assert.deepEqual(env.posts.map((m) => [m.type, m.items.map((i) => [i.id, i.version])]),
      [['install', [['presenter', base.version], ['suite', '1.1.0-1']]]]);
    assert.deepEqual(env.posts[0].items[1], {
      id: 'suite', group: 'app', detect, version: '1.1.0-1', url: base.url, file: base.file, sha256: HEX, size: base.size,
      self: true,
    });
  }
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
