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
