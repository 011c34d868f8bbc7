import { afterEach, test } from 'node:test';
import assert from 'node:assert/strict';

import { createRouter, hasNativeHost, post } from '../../web/js/bridge.js';

afterEach(() => {
  delete globalThis.window;
});

function installHost(postMessage) {
  globalThis.window = { webkit: { messageHandlers: { suite: { postMessage } } } };
}

test('post is a quiet no-op without the native host', () => {
  assert.equal(hasNativeHost(), false);
  assert.equal(post({ type: 'ready' }), false);
  globalThis.window = {};
  assert.equal(post({ type: 'ready' }), false);
  globalThis.window = { webkit: { messageHandlers: {} } };
  assert.equal(post({ type: 'ready' }), false);
});

test('post hands the message to the "suite" handler installed after import', () => {
  const seen = [];
  installHost((message) => seen.push(message));
  assert.equal(hasNativeHost(), true);
  assert.equal(post({ type: 'link', url: 'https://brenlow.example/' }), true);
  assert.deepEqual(seen, [{ type: 'link', url: 'https://brenlow.example/' }]);
});

test('a host that throws does not break the caller', (t) => {
  t.mock.method(console, 'error', () => {});
  installHost(() => {
    throw new Error('DataCloneError');
  });
  assert.equal(post({ type: 'save', settings: {} }), false);
});

test('events reach the handlers of their type only', () => {
  const router = createRouter();
  const got = [];
  router.on('init', (e) => got.push(['init', e.version]));
  router.on('checkNow', () => got.push(['checkNow']));
  router.on('checkNow', () => got.push(['checkNow-2']));

  assert.equal(router.receive({ type: 'init', version: '1.0' }), true);
  assert.equal(router.receive({ type: 'checkNow' }), true);
  assert.deepEqual(got, [['init', '1.0'], ['checkNow'], ['checkNow-2']]);
});

test('unknown and malformed events are dropped without throwing', () => {
  const router = createRouter();
  let calls = 0;
  router.on('init', () => calls++);
  const junk = [undefined, null, 0, 'init', '{"type":"init"}', [], [{ type: 'init' }], {},
    { type: 5 }, { type: null }, { type: 'INIT' }, { type: 'catalog', ok: true }];
  for (const event of junk) assert.equal(router.receive(event), false, JSON.stringify(event));
  assert.equal(calls, 0);
});

test('a failing handler is contained and the others still run', (t) => {
  const logged = t.mock.method(console, 'error', () => {});
  const router = createRouter();
  let after = 0;
  router.on('appearance', () => {
    throw new Error('boom');
  });
  router.on('appearance', () => after++);
  assert.doesNotThrow(() => router.receive({ type: 'appearance', osDark: true }));
  assert.equal(after, 1);
  assert.equal(logged.mock.callCount(), 1);
});

test('a handler can be removed', () => {
  const router = createRouter();
  let calls = 0;
  const off = router.on('checkNow', () => calls++);
  router.receive({ type: 'checkNow' });
  off();
  router.receive({ type: 'checkNow' });
  assert.equal(calls, 1);
});
