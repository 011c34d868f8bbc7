// The install history: asked for whenever the user looks at it, and again
// when a result lands while they do, since the native side has just added it.

import { historyEntries } from '../history.js';

export function createHistoryIntents({ store, post, router }) {
  const refresh = () => post({ type: 'history' });
  router.on('history', (event) => store.update({ history: historyEntries(event) }));
  router.on('result', () => {
    if (store.get().view === 'history') refresh();
  });
  return { refresh };
}
