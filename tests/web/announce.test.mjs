// What a screen reader hears while products install.
import { test } from 'node:test';
import assert from 'node:assert/strict';

import { createAnnouncer, milestoneOf } from '../../web/js/announcer.js';

const active = (phase) => ({ state: 'active', phase });
const item = (id, progress) => ({ id, milestone: milestoneOf(progress), line: `${id} ${progress?.phase ?? progress?.state}` });

test('each product speaks at its milestones, at most once a second, and the batch sums up at its end', () => {
  const announcer = createAnnouncer();
  const running = { done: false, line: 'running' };
  const steps = [
    // at (ms), items, batch, expected lines, expected wake-up
    [0, [item('a', active('queued')), item('b', active('queued'))], running, ['a queued', 'b queued'], null],
    [100, [item('a', active('download')), item('b', active('queued'))], running, [], null],
    [400, [item('a', active('verify')), item('b', active('download'))], running, [], null],
    [600, [item('a', active('password')), item('b', active('password'))], running, [], 400],
    [1000, [item('a', active('password')), item('b', active('password'))], running, ['a password', 'b password'], null],
    [1200, [item('a', { state: 'ok' }), item('b', { state: 'failed' })], { done: true, line: 'done' }, [], 800],
    [2000, [item('a', { state: 'ok' }), item('b', { state: 'failed' })], { done: true, line: 'done' },
      ['a ok', 'b failed', 'done'], null],
    [2100, [item('a', { state: 'ok' }), item('b', { state: 'failed' })], { done: true, line: 'done' }, [], null],
    // Closed, then asked for again: a fresh start is news.
    [2200, [item('a', null), item('b', null)], null, [], null],
    [2300, [item('a', active('queued')), item('b', null)], running, ['a queued'], null],
  ];
  for (const [at, items, batch, lines, wakeIn] of steps) {
    assert.deepEqual(announcer.update(items, batch, at), { lines, wakeIn }, `at ${at}`);
  }
});
