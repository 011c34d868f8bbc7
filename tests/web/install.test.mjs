// The install reducer when the native side goes quiet, and the batch it sums
// up. What a row shows for each event is the row tests' (rows.test.mjs).
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

// Plays `events` after a request for `asked`, one second apart.
function play(asked, events) {
  let state = installRequested(emptyInstall(), asked, 0);
  events.forEach((event, i) => { state = installEvent(state, event, (i + 1) * 1000); });
  return state;
}

const view = (state, id, size = 1000) => itemProgress(state.items.get(id), size);

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
