// A start shows the list the native side kept from the last good check, and a
// check whose answer comes late still brings its list.
import { test } from 'node:test';
import assert from 'node:assert/strict';

import { productRows } from '../../web/js/inventory.js';
import { INIT, doc, product, startApp } from './fixtures.mjs';

const TEXT = doc([product({ id: 'a', version: '2.0' }), product({ id: 'b', version: '1.0' })]);
const OFFLINE = { type: 'catalog', ok: false, offline: true };
const GOOD = { type: 'catalog', ok: true, text: TEXT };
const KEPT = { ...INIT, kept: { text: TEXT, at: 5000 } };
const scanned = (installed) => ({ type: 'scanned', installed });

const settle = () => new Promise((resolve) => setImmediate(resolve));
async function answer(env, ...events) {
  for (const event of events) {
    env.receive(event);
    await settle();
  }
}
const rows = (env) => productRows(env.app.store.get()).map((r) => [r.product.id, r.installed, r.selectable]);
const shown = (env) => ['source', 'error', 'savedAt'].map((key) => env.app.store.get().catalog[key]);

test('a start shows the kept list with a fresh scan, offline too, never to install from', async () => {
  const next = startApp({ init: KEPT, checkOnStart: true });
  await settle();
  // The start's "fetchCatalog" went out with "init"; the kept list's scan does not wait for it.
  assert.deepEqual(next.posts.map((m) => m.type), ['scan']);
  await answer(next, scanned({ a: '1.0' }));
  assert.deepEqual([rows(next), shown(next)], [[['a', '1.0', false], ['b', null, false]], ['cache', null, 5000]]);
  await answer(next, OFFLINE, scanned({ a: '2.0', b: '1.0' }));
  assert.deepEqual([rows(next), shown(next)], [[['a', '2.0', false], ['b', '1.0', false]], ['cache', 'offline', 5000]]);
  assert.deepEqual([next.app.updateAll(), next.app.installProduct('a')], [false, false]);

  // A good check replaces it and a later failure keeps the checked list.
  const online = startApp({ init: KEPT, checkOnStart: true });
  await settle();
  await answer(online, scanned({}), GOOD, scanned({}));
  online.app.checkForUpdates();
  await answer(online, OFFLINE);
  assert.deepEqual([rows(online), shown(online)[0]], [[['a', null, true], ['b', null, true]], 'live']);

  // Nor a kept text that no longer reads, nor a list an earlier version kept in the settings,
  // which the next save leaves out.
  const settings = { lang: 'ar', savedList: { text: TEXT, at: 5000, installed: { a: '1.0' } } };
  const broken = startApp({ init: { ...INIT, settings, kept: { text: '{"version":1', at: 1 } }, checkOnStart: true });
  await answer(broken, OFFLINE);
  assert.deepEqual([rows(broken), shown(broken)[1]], [[], 'offline']);
  broken.app.setAutoCheck('weekly');
  assert.deepEqual(broken.posts.at(-1).settings, { lang: 'ar', autoCheck: 'weekly' });
});

test('the check waits as long as the native side says, and an answer after that still shows its list', async () => {
  const timers = [];
  const env = startApp({
    init: { ...INIT, catalogSecondsPerAddress: 120 },
    timers: { setTimer: (fn, ms) => timers.push({ fn, ms }), clearTimer: () => {} },
  });
  const done = env.app.checkForUpdates();
  // Two addresses, each its document and signature, and the margin.
  assert.deepEqual(timers.map((t) => t.ms), [2 * 120_000 + 10_000]);
  timers[0].fn();
  assert.deepEqual([await done, shown(env)[1]], [false, 'timeout']);
  await answer(env, GOOD, scanned({ b: '1.0' }), OFFLINE);
  assert.deepEqual([rows(env), shown(env).slice(0, 2)], [[['a', null, true], ['b', '1.0', false]], ['live', null]]);
  assert.equal(env.posts.filter((m) => m.type === 'fetchCatalog').length, 1, 'nothing fetched again');
});
