// What a screen reader hears about installs. Every render could report a
// new percent, and a live region written in quick succession loses all but
// the last write; so each product speaks only at the moments worth hearing
// (it started, it needs the password or the installer, it ended), at most
// once a second, and the batch sums up once at its end.

export const ANNOUNCE_GAP_MS = 1000;

// The moment a product's progress stands for, or null for none.
export function milestoneOf(progress) {
  if (!progress) return null;
  if (progress.state !== 'active') return progress.state;
  return progress.phase === 'password' || progress.phase === 'installer' ? progress.phase : 'start';
}

// `update(items, batch, at)` takes each product's { id, milestone, line } and
// the batch's { done, line } (null without a batch), and returns the lines to
// speak now and, when a product had to wait for its gap, how many ms later to
// ask again.
export function createAnnouncer(gap = ANNOUNCE_GAP_MS) {
  const heard = new Map();
  let batchRunning = false;

  function update(items, batch, at) {
    const lines = [];
    let wakeIn = null;
    const present = new Set();
    for (const { id, milestone, line } of items) {
      if (milestone === null) continue;
      present.add(id);
      const last = heard.get(id);
      if (last?.milestone === milestone) continue;
      if (last && at - last.at < gap) {
        wakeIn = Math.min(wakeIn ?? Infinity, last.at + gap - at);
        continue;
      }
      heard.set(id, { milestone, at });
      lines.push(line);
    }
    // A product with nothing on show starts afresh when it is asked for again.
    for (const id of heard.keys()) if (!present.has(id)) heard.delete(id);
    if (batch && !batch.done) batchRunning = true;
    if (batch?.done && batchRunning && wakeIn === null) {
      batchRunning = false;
      lines.push(batch.line);
    }
    if (!batch) batchRunning = false;
    return { lines, wakeIn };
  }

  return { update };
}
