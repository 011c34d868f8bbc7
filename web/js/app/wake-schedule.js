// The page's clock: when the native side should load the page again for the
// next automatic check, and what each tick looks at.

import { feedbackStalled } from '../feedback.js';
import { installStalled } from '../install.js';
import { isCheckDue, nextCheckAt } from '../schedule.js';

// How often the page looks at the clock: for the schedule, and for answers
// that should have come by now.
export const TICK_MS = 15_000;

export function createWakeSchedule({ store, post, now, checkForUpdates }) {
  // While nobody looks and nothing is under way, the native side lets this page
  // go and loads it again for the next automatic check; so it is told that
  // time whenever it changes (null: there is none). A running check changes
  // it when it ends.
  let wakeSent;
  store.subscribe((state) => {
    if (!state.booted || state.check.running) return;
    const at = nextCheckAt(state.settings, state.check);
    if (at === wakeSent) return;
    wakeSent = at;
    post({ type: 'wakeAt', at });
  });

  // Answers that should have come by now end their waits; a due check starts.
  function tick() {
    const at = now();
    store.update((s) => {
      const install = installStalled(s.install, at);
      const feedback = feedbackStalled(s.feedback, at);
      return install === s.install && feedback === s.feedback ? s : { ...s, install, feedback };
    });
    const state = store.get();
    if (state.booted && isCheckDue(state.settings, state.check, at)) checkForUpdates();
  }

  return { tick };
}
