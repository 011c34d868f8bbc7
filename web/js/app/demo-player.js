// Demo mode: the native side ignores "install" and "sendFeedback", so the
// page plays the events a real run would send, through the same router.

import { feedbackScript, installScript, play, restoreScript } from '../demo.js';

export function createDemoPlayer({ store, emit, later }) {
  // Which played run each product's events belong to (a cancel or a new
  // request silences the older one), and how far a cancelled played
  // download had come, for the next one to go on from, as a real one would.
  const runs = new Map();
  const keptPct = new Map();
  let latestRun = 0;

  function playInstall(items) {
    const run = ++latestRun;
    const kept = new Map();
    for (const { id } of items) {
      runs.set(id, run);
      if (keptPct.has(id)) kept.set(id, keptPct.get(id));
      keptPct.delete(id);
    }
    play(installScript(items, kept), { emit, later, alive: (event) => runs.get(event.id) === run });
  }

  // The native side's answer to a cancel, played: a stopped download keeps
  // its part, a checked one is removed, a waiting one had nothing yet.
  function cancelInstall(id) {
    const entry = store.get().install.items.get(id);
    runs.delete(id);
    if (entry.phase === 'download' && entry.pct > 0) keptPct.set(id, entry.pct);
    if (entry.phase === 'verify') keptPct.delete(id);
    emit({ type: 'result', id, ok: false, error: 'cancelled', reason: 'cancelled' });
  }

  function playRestore(id, version, history) {
    const run = ++latestRun;
    runs.set(id, run);
    play(restoreScript(id, version, history), {
      emit,
      later,
      alive: (event) => event.type === 'history' || runs.get(event.id) === run,
    });
  }

  // `alive()` turns false once a newer submission has started.
  function playFeedback(fileCount, alive) {
    play(feedbackScript(fileCount), { emit, later, alive });
  }

  return { playInstall, cancelInstall, playFeedback, playRestore };
}
