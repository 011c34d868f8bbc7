import { test } from 'node:test';
import assert from 'node:assert/strict';

import { createRouter } from '../../web/js/bridge.js';

test('events reach the handlers of their type only, malformed ones none, and a failing handler stops no other', (t) => {
  const logged = t.mock.method(console, 'error', () => {});
  const router = createRouter();
  const got = [];
  router.on('init', (e) => got.push(['init', e.version]));
  router.on('checkNow', () => { throw new Error('boom'); });
  router.on('checkNow', () => got.push(['checkNow']));
  const off = router.on('checkNow', () => got.push(['checkNow-2']));
  const junk = [undefined, null, 0, 'init', '{"type":"init"}', [], [{ type: 'init' }], {},
    { type: 5 }, { type: null }, { type: 'INIT' }, { type: 'catalog', ok: true }];
  for (const event of junk) assert.equal(router.receive(event), false, JSON.stringify(event));

  assert.equal(router.receive({ type: 'init', version: '1.0' }), true);
  assert.equal(router.receive({ type: 'checkNow' }), true);
  off();
  router.receive({ type: 'checkNow' });
  assert.deepEqual(got, [['init', '1.0'], ['checkNow'], ['checkNow-2'], ['checkNow']]);
  assert.equal(logged.mock.callCount(), 2, 'each failure is logged');
});
