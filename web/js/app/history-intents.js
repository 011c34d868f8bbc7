// The install history: asked for whenever the user looks at it, and again
// when a result lands while they do, since the native side has just added it.
// From it the user can put back the version an update replaced.

import { activeIds, installRequested } from '../install.js';
import { historyEntries, restorableVersions } from '../history.js';

export function createHistoryIntents({ store, post, router, now, demo }) {
  const refresh = () => post({ type: 'history' });
  router.on('history', (event) =>
    store.update({ history: historyEntries(event), restorable: restorableVersions(event) }),
  );
  router.on('result', () => {
    const { view, demo: isDemo } = store.get();
    // A showcase's history is played, not kept: the native side has none to give.
    if (view === 'history' && !isDemo) refresh();
  });

  // The history a showcase's native side would send once `id` went back to `version`.
  function playedHistory(state, id, version, at) {
    const last = (state.history ?? []).find((e) => e.id === id);
    const entry = {
      time: at / 1000,
      id,
      from: last?.to ?? '',
      to: version,
      kind: last?.kind ?? '',
      result: 'restored',
    };
    const restorable = Object.fromEntries([...state.restorable].filter(([other]) => other !== id));
    return { type: 'history', entries: [entry, ...(state.history ?? [])], restorable };
  }

  // One restore at a time, and none while anything installs: the native side
  // runs one privileged job at a time and would refuse it.
  function restore(id) {
    const state = store.get();
    const version = state.restorable.get(id);
    if (!version || activeIds(state.install).length > 0) return false;
    if (post({ type: 'restore', id }) === false && !state.demo) return false;
    store.update((s) => ({ ...s, install: installRequested(s.install, [id], now()) }));
    if (state.demo) demo.playRestore(id, version, (at) => playedHistory(store.get(), id, version, at));
    return true;
  }

  return { refresh, restore };
}
