// The install reducer against event sequences as the native side may really
// deliver them: in order, late, twice, for products never asked for, or not
// at all. The host's page test shows the common run (queued, download with
// bytes, success, a stray result after the batch) as the user sees it.
import { test } from 'node:test';
import assert from 'node:assert/strict';

import {
  QUIET_LIMIT_MS, batchSummary, dismissBatch, emptyInstall, installEvent, installRequested, installStalled,
  itemProgress,
} from '../../web/js/install.js';

const progress = (id, phase, pct = 100) => ({ type: 'progress', id, phase, pct });
const ok = (id, version = '2.0') => ({ type: 'result', id, ok: true, version });
const failed = (id, error) => ({ type: 'result', id, ok: false, error });

// Plays `events` after a request for `asked`, one second apart.
function play(asked, events) {
  let state = installRequested(emptyInstall(), asked, 0);
  events.forEach((event, i) => { state = installEvent(state, event, (i + 1) * 1000); });
  return state;
}

const view = (state, id, size = 1000) => itemProgress(state.items.get(id), size);

test('each sequence ends in the state a user should see', () => {
  const cases = [
    // name, events, expected view of "a"
    ['a late download report after verify', [progress('a', 'verify'), progress('a', 'download', 40)],
      { state: 'active', phase: 'verify', pct: 100, bytes: null }],
    ['download reports out of order', [progress('a', 'download', 60), progress('a', 'download', 20)],
      { state: 'active', phase: 'download', pct: 60, bytes: { done: 600, total: 1000 } }],
    ['phases skipped', [progress('a', 'install')], { state: 'active', phase: 'install', pct: 100, bytes: null }],
    ['hand-off to the installer', [progress('a', 'password'), progress('a', 'install'), progress('a', 'installer')],
      { state: 'active', phase: 'installer', pct: 100, bytes: null }],
    ['result with no progress before it', [failed('a', 'download')], { state: 'failed', ok: false, error: 'download' }],
    ['progress after the result', [failed('a', 'check'), progress('a', 'install')],
      { state: 'failed', ok: false, error: 'check' }],
    ['a second result', [failed('a', 'cancelled'), ok('a')], { state: 'failed', ok: false, error: 'cancelled' }],
    ['an unknown error code', [failed('a', 'disk')], { state: 'failed', ok: false, error: 'unknown' }],
    ['a reason', [{ ...failed('a', 'download'), reason: 'http-503' }],
      { state: 'failed', ok: false, error: 'download', reason: 'http-503' }],
    ['a reason the page does not know', [{ ...failed('a', 'download'), reason: 'http-5033' }],
      { state: 'failed', ok: false, error: 'download' }],
    ['success without a version', [{ type: 'result', id: 'a', ok: true }], { state: 'ok', ok: true, version: '' }],
    ['"ok" that is not true', [{ type: 'result', id: 'a', ok: 'yes', error: 'install' }],
      { state: 'failed', ok: false, error: 'install' }],
    ['malformed events', [progress('a', 'queued'), progress('a', 'fly'), { type: 'progress', phase: 'install' },
      progress(7, 'install'), { type: 'other', id: 'a' }, null], { state: 'active', phase: 'queued', pct: 0, bytes: null }],
    ['pct out of range or missing', [progress('a', 'download', 250), progress('a', 'download', Number.NaN)],
      { state: 'active', phase: 'download', pct: 100, bytes: { done: 1000, total: 1000 } }],
  ];
  for (const [name, events, expected] of cases) {
    assert.deepEqual(view(play(['a'], events), 'a'), expected, name);
  }
});

test('asking again restarts a finished product but not one on its way; events for others join the batch', () => {
  let state = play(['a', 'b'], [failed('a', 'download'), progress('b', 'download', 50), progress('c', 'installer'), ok('c')]);
  assert.deepEqual([state.batch, view(state, 'c').state], [['a', 'b', 'c'], 'ok']);
  state = installRequested(state, ['a', 'b'], 9000);
  assert.deepEqual(view(state, 'a'), { state: 'active', phase: 'queued', pct: 0, bytes: null });
  assert.equal(view(state, 'b').pct, 50, 'the running download keeps its place');
  assert.deepEqual(state.batch, ['a', 'b', 'c'], 'the running batch is joined, not replaced');
  assert.equal(installRequested(state, ['a', 'b'], 9500), state, 'nothing new to ask for');
});

test('silence ends the wait only where an answer is due', () => {
  const quiet = QUIET_LIMIT_MS.download;
  // queued behind a busy download: the batch is alive, so nothing is lost
  let state = play(['a', 'b'], [progress('a', 'download', 10)]);
  state = installEvent(state, progress('a', 'download', 90), quiet);
  assert.equal(installStalled(state, quiet + 1000), state);

  // nothing at all for longer than the limit
  const lost = installStalled(state, 2 * quiet + 1);
  assert.deepEqual([view(lost, 'a').state, view(lost, 'b').state], ['lost', 'lost']);
  assert.equal(batchSummary(lost).done, true, 'a lost batch can be closed and retried');

  // a late event brings a lost product back
  const back = installEvent(lost, progress('a', 'verify'), 2 * quiet + 2);
  assert.equal(view(back, 'a').phase, 'verify');
  assert.equal(view(installEvent(lost, ok('b'), 2 * quiet + 2), 'b').state, 'ok');

  // the password prompt and the installer window wait for the person
  const waiting = play(['a', 'b'], [progress('a', 'password'), progress('b', 'installer')]);
  assert.equal(installStalled(waiting, 10 * 3_600_000), waiting);
});

test('the batch bar counts every product the same and ends when all are done', () => {
  let state = play(['a', 'b', 'c', 'd'], [progress('a', 'download', 50), ok('b'), failed('c', 'cancelled')]);
  let summary = batchSummary(state);
  assert.deepEqual({ ...summary, fraction: undefined },
    { total: 4, ok: 1, failed: 1, active: 2, done: false, fraction: undefined });
  assert.ok(Math.abs(summary.fraction - (0.35 + 1 + 1 + 0) / 4) < 1e-9);
  assert.equal(dismissBatch(state), state, 'a running batch stays');

  state = installEvent(state, ok('a'), 9000);
  state = installEvent(state, failed('d', 'check'), 9500);
  summary = batchSummary(state);
  assert.deepEqual([summary.done, summary.fraction, summary.ok, summary.failed], [true, 1, 2, 2]);

  // A new batch after this one; closing it also clears the older outcomes.
  state = installEvent(installRequested(state, ['e'], 10_000), ok('e'), 11_000);
  assert.deepEqual(state.batch, ['e']);
  const closed = dismissBatch(state);
  assert.equal(batchSummary(closed), null);
  assert.deepEqual(closed.items, new Map());
});
