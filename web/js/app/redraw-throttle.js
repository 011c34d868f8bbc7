// Install events are drawn at most every PROGRESS_REDRAW_MS. A download
// reports its share every 150 ms, and in a batch of small packages every
// row starts, is checked and ends within a fraction of a second: drawn as
// they came, a batch of 20 packages of 64 MiB drew the page 71 times in
// five seconds, on a machine that needed those cores for the downloads;
// held, 10 times. An event after a quiet spell shows at once; those that
// follow within the interval show together at its end, in order, each
// applied at the time it came, a download's share by its latest figure.

import { withInstallEvent } from '../inventory.js';

// The least time between two drawings of a download's share.
export const PROGRESS_REDRAW_MS = 500;

const isShare = (event) => event?.type === 'progress' && event.phase === 'download';

// → the handler for "progress" and "result" events.
export function createRedrawThrottle({ store, now, later }) {
  let held = [];
  let drawnAt = -Infinity;
  let drawScheduled = false;

  function drawHeld() {
    drawScheduled = false;
    if (held.length === 0) return;
    const events = held;
    held = [];
    drawnAt = now();
    store.update((state) => events.reduce((next, { event, at }) => withInstallEvent(next, event, at), state));
  }

  return function onInstallEvent(event) {
    const last = isShare(event) ? held.findLastIndex((h) => h.event?.id === event.id) : -1;
    if (last >= 0 && isShare(held[last].event)) {
      // A held report that said where the download went on from keeps saying it.
      const before = held[last].event;
      const resumed = 'resumedAt' in before && !('resumedAt' in event);
      held[last] = { event: resumed ? { ...event, resumedAt: before.resumedAt } : event, at: now() };
    } else {
      held.push({ event, at: now() });
    }
    const wait = drawnAt + PROGRESS_REDRAW_MS - now();
    if (wait <= 0) drawHeld();
    else if (!drawScheduled) {
      drawScheduled = true;
      later(wait, drawHeld);
    }
  };
}
