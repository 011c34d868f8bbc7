// A start shows the list the native side kept from the last good check, and a
// check whose answer comes late still brings its list.
import { test } from 'node:test';
import assert from 'node:assert/strict';

import { productRows } from '../../web/js/inventory.js';
import { INIT, doc, product, startApp } from './fixtures.mjs';

const TEXT = doc([product({ id: 'a', version: '2.0' }), product({ id: 'b', version: '1.0' })]);
const OFFLINE = { type: 'catalog', ok: false, offline: true };
const KEPT = { ...INIT, kept: { text: TEXT, at: 5000 } };

const settle = () => new Promise((resolve) => setImmediate(resolve));
// Answers whatever the app waits for with each of `answers` in turn.
async function answer(env, ...answers) {
  for (const event of answers) {
    env.receive(event);
    await settle();
  }
}
const rows = (env) => productRows(env.app.store.get()).map((r) => [r.product.id, r.installed, r.selectable]);
const catalogOf = (env) => {
  const { source, error, savedAt } = env.app.store.get().catalog;
  return [source, error, savedAt];
};

test('a start shows the kept list with a fresh scan, offline too, never to install from', async () => {
  const next = startApp({ init: KEPT, checkOnStart: true });
  await settle();
  // The start's "fetchCatalog" went out with "init"; the kept list's scan does not wait for it.
  assert.deepEqual(next.posts.map((m) => m.type), ['scan']);
  assert.deepEqual(rows(next), [['a', null, false], ['b', null, false]]);
  await answer(next, { type: 'scanned', installed: { a: '1.0' } });
  assert.deepEqual(rows(next), [['a', '1.0', false], ['b', null, false]]);
  assert.deepEqual(catalogOf(next), ['cache', null, 5000]);

  await answer(next, OFFLINE, { type: 'scanned', installed: { a: '2.0', b: '1.0' } });
  assert.deepEqual(catalogOf(next), ['cache', 'offline', 5000]);
  assert.deepEqual(rows(next), [['a', '2.0', false], ['b', '1.0', false]]);
  assert.deepEqual([next.app.updateAll(), next.app.installProduct('a')], [false, false]);

  // A good check replaces the stand-in, saves no catalog in the settings, and
  // a later failure keeps the checked list.
  const online = startApp({ init: KEPT, checkOnStart: true });
  await settle();
  await answer(online, { type: 'scanned', installed: {} }, { type: 'catalog', ok: true, text: TEXT },
    { type: 'scanned', installed: {} });
  assert.deepEqual(rows(online), [['a', null, true], ['b', null, true]]);
  assert.equal('savedList' in online.posts.find((m) => m.type === 'save').settings, false);
  online.app.checkForUpdates();
  await answer(online, OFFLINE);
  assert.deepEqual([rows(online).length, catalogOf(online)[0]], [2, 'live']);

  const broken = startApp({ init: { ...INIT, kept: { text: '{"version":1', at: 1 } }, checkOnStart: true });
  await answer(broken, OFFLINE);
  assert.deepEqual([rows(broken), catalogOf(broken)[1]], [[], 'offline']);
});

test('a list kept in the settings by an earlier version is neither shown nor saved again', async () => {
  const settings = { lang: 'ar', savedList: { text: TEXT, at: 5000, installed: { a: '1.0' } } };
  const env = startApp({ init: { ...INIT, settings }, checkOnStart: true });
  await answer(env, OFFLINE);
  assert.deepEqual(rows(env), []);
  env.app.setAutoCheck('weekly');
  assert.deepEqual(env.posts.at(-1), { type: 'save', settings: { lang: 'ar', autoCheck: 'weekly' } });
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
  assert.equal(await done, false);
  assert.deepEqual([env.app.store.get().catalog.error, rows(env)], ['timeout', []]);

  await answer(env, { type: 'catalog', ok: true, text: TEXT }, { type: 'scanned', installed: { b: '1.0' } });
  assert.deepEqual(rows(env), [['a', null, true], ['b', '1.0', false]]);
  assert.deepEqual([catalogOf(env)[0], catalogOf(env)[1]], ['live', null]);
  assert.equal(env.posts.filter((m) => m.type === 'fetchCatalog').length, 1, 'nothing fetched again');
  // A late refusal changes nothing.
  await answer(env, OFFLINE);
  assert.deepEqual(rows(env).length, 2);
});
