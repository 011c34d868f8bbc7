// A start without network shows the list of the last good check.
import { test } from 'node:test';
import assert from 'node:assert/strict';

import { productRows } from '../../web/js/inventory.js';
import { INIT, doc, product, startApp } from './fixtures.mjs';

const TEXT = doc([product({ id: 'a', version: '2.0' }), product({ id: 'b', version: '1.0' })]);
const OFFLINE = { type: 'catalog', ok: false, offline: true };

// Starts a check and answers each request it posts with the next of `answers`.
async function check(env, ...answers) {
  const done = env.app.checkForUpdates();
  for (const answer of answers) {
    env.receive(answer);
    await new Promise((resolve) => setImmediate(resolve));
  }
  return done;
}
const rows = (env) => productRows(env.app.store.get()).map((r) => [r.product.id, r.installed, r.selectable]);

test('a good check saves its list; the next start shows it at once, and offline with a fresh scan, never to install from', async () => {
  const first = startApp({ now: () => 5000 });
  await check(first, { type: 'catalog', ok: true, text: TEXT }, { type: 'scanned', installed: { a: '1.0' } });
  const { settings } = first.posts.find((m) => m.type === 'save');
  assert.deepEqual(settings.savedList, { text: TEXT, at: 5000, installed: { a: '1.0' } });

  // The start's own check is still waiting for the network.
  const next = startApp({ init: { ...INIT, settings }, checkOnStart: true });
  assert.deepEqual(rows(next), [['a', '1.0', false], ['b', null, false]]);
  assert.deepEqual([next.app.store.get().catalog.source, next.app.store.get().catalog.error], ['cache', null]);
  assert.equal(await check(next, OFFLINE, { type: 'scanned', installed: { a: '2.0', b: '1.0' } }), false);
  const { catalog } = next.app.store.get();
  assert.deepEqual([catalog.source, catalog.error, catalog.savedAt], ['cache', 'offline', 5000]);
  assert.deepEqual(rows(next), [['a', '2.0', false], ['b', '1.0', false]]);
  assert.deepEqual([next.app.updateAll(), next.app.installProduct('a')], [false, false]);

  // A good check replaces the stand-in, and a later failure keeps the checked list.
  const online = startApp({ init: { ...INIT, settings }, checkOnStart: true });
  await check(online, { type: 'catalog', ok: true, text: TEXT }, { type: 'scanned', installed: {} });
  assert.deepEqual(rows(online), [['a', null, true], ['b', null, true]]);
  await check(online, OFFLINE);
  assert.deepEqual([rows(online).length, online.app.store.get().catalog.source], [2, 'live']);

  const broken = startApp({ init: { ...INIT, settings: { savedList: { text: '{"version":1', at: 1 } } }, checkOnStart: true });
  await check(broken, OFFLINE);
  assert.deepEqual([rows(broken), broken.app.store.get().catalog.error], [[], 'offline']);
});
