// The page tells the native side when to load it again for its next automatic check.
import { test } from 'node:test';
import assert from 'node:assert/strict';

import { RETRY_AFTER_FAILURE_MS } from '../../web/js/schedule.js';
import { INIT, parsed, product, startApp } from './fixtures.mjs';

const HOUR = 3_600_000;
const DAY = 24 * HOUR;
const NOW = 100 * DAY;

test('"wakeAt" follows every change of the next check, and only a change', async () => {
  let clock = NOW;
  let outcome = { ok: false, error: 'offline', problems: [] };
  let release;
  const env = startApp({
    init: { ...INIT, settings: { lastCheck: NOW - HOUR } },
    now: () => clock,
    runCheck: () => new Promise((resolve) => { release = () => resolve(outcome); }),
  });
  const at = () => env.wakes.map((m) => m.at);
  assert.deepEqual(at(), [NOW - HOUR + DAY], 'told as soon as the settings are known');
  env.app.tick();
  assert.deepEqual(at(), [NOW - HOUR + DAY], 'nothing new, nothing sent');

  clock += DAY;
  const failed = env.app.checkForUpdates();
  release();
  await failed;
  assert.deepEqual(at().slice(1), [clock + RETRY_AFTER_FAILURE_MS], 'a failure is tried again soon');

  outcome = { ok: true, source: 'live', problems: [], products: parsed(product()), installed: new Map() };
  const worked = env.app.checkForUpdates();
  release();
  await worked;
  env.app.setAutoCheck('weekly');
  env.app.setAutoCheck('off');
  assert.deepEqual(at().slice(2), [clock + DAY, clock + 7 * DAY, null]);
});

test('an "update" answer that reaches a page still checking installs once the check has ended, and a page loaded again does not announce it twice', async () => {
  let release;
  const env = startApp({
    runCheck: () => new Promise((resolve) => { release = resolve; }),
  });
  const checking = env.app.checkForUpdates();
  env.receive({ type: 'notifAction', action: 'update' });
  assert.deepEqual(env.posts, [], 'the updates are not known yet');
  release({
    ok: true, source: 'live', problems: [], products: parsed(product({ version: '9.0' })),
    installed: new Map([['talven.presenter', '1.0']]),
  });
  await checking;
  await new Promise((resolve) => setImmediate(resolve));
  assert.deepEqual(env.posts.filter((m) => m.type === 'install').map((m) => m.items.map((i) => i.id)),
    [['talven.presenter']]);

  // The next load (the next wake) knows what was announced before and says nothing new.
  const saved = env.posts.find((m) => m.type === 'save').settings;
  assert.deepEqual(saved.announced, ['talven.presenter@9.0']);
  const next = startApp({
    init: { ...INIT, settings: saved }, isAway: () => true,
    runCheck: async () => ({ ok: true, source: 'live', problems: [], products: parsed(product({ version: '9.0' })), installed: new Map([['talven.presenter', '1.0']]) }),
  });
  await next.app.checkForUpdates();
  assert.deepEqual(next.posts.filter((m) => m.type === 'notify'), []);
});
