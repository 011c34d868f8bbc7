// What the user can do with products: choose them, install, cancel, retry,
// open. The native side reports each item later with "progress" and
// "result" events; in demo mode it ignores the request, and the page plays
// the events itself.

import { catalogItem } from '../catalog.js';
import {
  cancellableIds,
  dismissBatch,
  failedIds,
  installRequested,
  isCancellable,
  isWaitingForInstaller,
  openIds,
} from '../install.js';
import {
  installBatch,
  productRows,
  selectedProducts,
  updatableProducts,
  withSelection,
  withoutSelection,
} from '../inventory.js';

const ids = (products) => products.map((p) => p.id);

export function createInstallIntents({ store, post, now, demo }) {
  function setSelected(id, on) {
    store.update((state) => withSelection(state, id, on === true));
  }

  // Only products this host can install are asked for, as they are for this
  // host's kind, and none that is already on its way. `anyway`: installed
  // even while open.
  function requestInstall(wantedIds, anyway = false) {
    const state = store.get();
    if (state.catalog.source === 'cache') return false;
    const asked = new Set(wantedIds);
    const wanted = productRows(state)
      .filter((row) => row.available && !row.busy && asked.has(row.product.id))
      .map((row) => row.product);
    if (wanted.length === 0) return false;
    const items = installBatch(wanted);
    // Without a native side (the page opened in a browser) nothing would ever answer.
    if (post({ type: 'install', items, ...(anyway ? { anyway: true } : {}) }) === false && !state.demo) return false;
    store.update((s) =>
      withoutSelection({
        ...s,
        install: installRequested(
          s.install,
          items.map((i) => i.id),
          now(),
        ),
      }),
    );
    if (state.demo) demo.playInstall(items);
    return true;
  }

  // Stops items short of the privileged run; the native side answers each
  // with a "cancelled" result, or, when one has just gone on to the password,
  // with nothing but its real outcome later. Nothing changes here until then.
  function cancelInstall(id) {
    const { demo: isDemo, install } = store.get();
    if (!isCancellable(install.items.get(id))) return false;
    if (post({ type: 'cancel', id }) === false && !isDemo) return false;
    if (isDemo) demo.cancelInstall(id);
    return true;
  }

  function cancelAll() {
    const { demo: isDemo, install } = store.get();
    const cancellable = cancellableIds(install);
    if (cancellable.length === 0) return false;
    if (post({ type: 'cancel' }) === false && !isDemo) return false;
    if (isDemo) cancellable.forEach(demo.cancelInstall);
    return true;
  }

  // The native side answers with the item's "install" failure.
  function stopWaiting(id) {
    if (!isWaitingForInstaller(store.get().install.items.get(id))) return false;
    return post({ type: 'stopWaiting', id }) !== false;
  }

  function dismissInstalls() {
    store.update((s) => {
      const install = dismissBatch(s.install);
      return install === s.install ? s : { ...s, install };
    });
  }

  // Only what the scan found installed, and only applications, can be
  // opened; the native side looks the product up by its "detect" rules.
  function openProduct(id) {
    const row = productRows(store.get()).find((r) => r.product.id === id);
    if (!row?.canOpen) return false;
    post({ type: 'open', detect: catalogItem(row.product).detect });
    return true;
  }

  return {
    setSelected,
    installProduct: (id) => requestInstall([id]),
    installSelected: () => requestInstall(ids(selectedProducts(store.get()))),
    updateAll: () => requestInstall(ids(updatableProducts(store.get()))),
    retryFailed: () => requestInstall(failedIds(store.get().install)),
    updateAnyway: (id) => requestInstall([id], true),
    // The native side looks again whether each is still open, and installs
    // those the user has closed.
    recheckOpen: () => requestInstall(openIds(store.get().install)),
    cancelInstall,
    cancelAll,
    stopWaiting,
    // The native side opens the log with the desktop's handler for it.
    openLog: () => post({ type: 'openLog' }) !== false,
    dismissInstalls,
    openProduct,
  };
}
