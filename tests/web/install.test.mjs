// The install reducer against event sequences as the native side may really
// deliver them: in order, late, twice, for products never asked for, or not
// at all. The host's page test shows the common run (queued, download with
// bytes, success, a stray result after the batch) as the user sees it.
import { test } from 'node:test';
import assert from 'node:assert/strict';

import {
  QUIET_LIMIT_MS, batchSummary, cancellableIds, dismissBatch, emptyInstall, failedIds, installEvent, installRequested,
  installStalled, itemProgress,
} from '../../web/js/install.js';

const progress = (id, phase, pct = 100) => ({ type: 'progress', id, phase, pct });
const ok = (id, version = '2.0') => ({ type: 'result', id, ok: true, version });
const failed = (id, error) => ({ type: 'result', id, ok: false, error });
const cancelled = (id) => ({ ...failed(id, 'cancelled'), reason: 'cancelled' });
// What a row shows while it runs; Cancel only until the password.
const active = (phase, pct, bytes = null, more = {}) =>
  ({ state: 'active', phase, pct, bytes, resumedAt: null, cancellable: ['queued', 'download', 'verify'].includes(phase), ...more });

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
    ['a late download report after verify', [progress('a', 'verify'), progress('a', 'download', 40)], active('verify', 100)],
    ['download reports out of order', [progress('a', 'download', 60), progress('a', 'download', 20)],
      active('download', 60, { done: 600, total: 1000 })],
    ['a download that went on from a kept part', [{ ...progress('a', 'download', 48), resumedAt: 48 }, progress('a', 'download', 60)],
      active('download', 60, { done: 600, total: 1000 }, { resumedAt: 48 })],
    ['hand-off to the installer', [progress('a', 'password'), progress('a', 'install'), progress('a', 'installer')],
      active('installer', 100)],
    // The user's cancel, unlike the dismissed password, says whether a part was kept.
    ['cancelled while downloading', [progress('a', 'download', 30), cancelled('a'), ok('a')],
      { state: 'cancelled', ok: false, error: 'cancelled', reason: 'cancelled', kept: true }],
    ['cancelled while waiting', [cancelled('a')], { state: 'cancelled', ok: false, error: 'cancelled', reason: 'cancelled', kept: false }],
    ['an unknown error code', [failed('a', 'disk')], { state: 'failed', ok: false, error: 'unknown' }],
    ['a reason', [{ ...failed('a', 'download'), reason: 'http-503' }],
      { state: 'failed', ok: false, error: 'download', reason: 'http-503' }],
    ['a reason the page does not know', [{ ...failed('a', 'download'), reason: 'http-5033' }],
      { state: 'failed', ok: false, error: 'download' }],
    ['"ok" that is not true', [{ type: 'result', id: 'a', ok: 'yes', error: 'install' }],
      { state: 'failed', ok: false, error: 'install' }],
    ['malformed events', [progress('a', 'queued'), progress('a', 'fly'), { type: 'progress', phase: 'install' },
      progress(7, 'install'), { type: 'other', id: 'a' }, null], active('queued', 0)],
    ['pct out of range or missing', [progress('a', 'download', 250), progress('a', 'download', Number.NaN)],
      active('download', 100, { done: 1000, total: 1000 })],
  ];
  for (const [name, events, expected] of cases) {
    assert.deepEqual(view(play(['a'], events), 'a'), expected, name);
  }
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
  let state = play(['a', 'b', 'c', 'd', 'e'],
    [progress('a', 'download', 50), ok('b'), failed('c', 'cancelled'), progress('e', 'password')]);
  let summary = batchSummary(state);
  assert.deepEqual({ ...summary, fraction: undefined }, {
    total: 5, ok: 1, failed: 1, active: 3, cancelled: 0, cancellable: 2, installing: 1, done: false, fraction: undefined,
  });
  assert.ok(Math.abs(summary.fraction - (0.35 + 1 + 1 + 0 + 0.8) / 5) < 1e-9);
  assert.equal(dismissBatch(state), state, 'a running batch stays');
  assert.deepEqual(cancellableIds(state), ['a', 'd']);

  // A cancelled item is not installed, but "Retry failed" leaves it alone.
  state = installEvent(state, cancelled('a'), 9000);
  state = installEvent(state, failed('d', 'check'), 9500);
  state = installEvent(state, ok('e'), 9600);
  summary = batchSummary(state);
  assert.deepEqual([summary.done, summary.fraction, summary.ok, summary.failed, summary.cancelled], [true, 1, 2, 3, 1]);
  assert.deepEqual(failedIds(state), ['c', 'd']);

  // A new batch after this one; closing it also clears the older outcomes.
  state = installEvent(installRequested(state, ['e'], 10_000), ok('e'), 11_000);
  assert.deepEqual(state.batch, ['e']);
  const closed = dismissBatch(state);
  assert.equal(batchSummary(closed), null);
  assert.deepEqual(closed.items, new Map());
});
