// The page's core: state, the events it answers and the things the user can
// do. It knows nothing of the DOM, so it runs unchanged under node; views
// subscribe to `store` and call the intents below.

import { createRouter } from './bridge.js';
import { catalogItem } from './catalog.js';
import { createChecker, createEventWaiter, loadSampleCatalog, runUpdateCheck } from './check.js';
import { INSTALL_PAUSE_MS } from './config.js';
import {
  applyCheckResult, installBatch, productRows, selectedProducts, updatableProducts, withSelection,
  withoutSelection,
} from './inventory.js';
import {
  LANG_CHOICES, VIEWS, applyAppearance, applyInit, createStore, initialState, langChoice, langOf,
  normalizeSettings, startsAtLogin, withLanguage, withStartLogin,
} from './state.js';

const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// `runCheck` stands in for the whole check and `loadSample` for the bundled
// sample catalog; `timers` drive the bounded waits for native answers. Tests
// pass their own; the page uses the real ones.
export function createApp({
  post, now = Date.now, runCheck, minBusyMs = 0, wait = pause, loadSample = loadSampleCatalog,
  timers, checkOnStart = false,
} = {}) {
  if (typeof post !== 'function') throw new TypeError('createApp needs a post function');

  const store = createStore(initialState());
  const router = createRouter();
  const expect = createEventWaiter(router.on, timers);
  const liveCheck = () => runUpdateCheck({
    post, expect, loadSample, isDemo: () => store.get().demo,
  });
  const run = runCheck ?? liveCheck;

  // The outcome reaches the state even when the run itself broke, so the
  // products view can say so and offer a retry.
  async function checkAndApply() {
    let result;
    try {
      result = await run();
    } catch (err) {
      console.error('suite: update check failed', err);
      result = { ok: false, error: 'failed' };
    }
    store.update((state) => applyCheckResult(state, result));
    return result;
  }

  const checker = createChecker({
    run: checkAndApply,
    now,
    minBusyMs,
    wait,
    onChange: (check) => store.update({ check }),
  });

  function showView(view) {
    if (VIEWS.includes(view)) store.update({ view });
  }

  function checkForUpdates() {
    return checker.start();
  }

  function setSelected(id, on) {
    store.update((state) => withSelection(state, id, on === true));
  }

  // The hook of the install flow: the request goes out, and the native side
  // reports each item later with "progress" and "result" events (demo mode
  // ignores the request and sends nothing). Until those are followed here,
  // the buttons only pause long enough to stop a second identical request.
  function requestInstall(products) {
    if (store.get().installing || products.length === 0) return false;
    post({ type: 'install', items: installBatch(products) });
    store.update((state) => withoutSelection({ ...state, installing: true }));
    Promise.resolve(wait(INSTALL_PAUSE_MS)).then(() => store.update({ installing: false }));
    return true;
  }

  const installSelected = () => requestInstall(selectedProducts(store.get()));
  const updateAll = () => requestInstall(updatableProducts(store.get()));

  // Only what the scan found installed, and only applications, can be
  // opened; the native side looks the product up by its "detect" rules.
  function openProduct(id) {
    const row = productRows(store.get()).find((r) => r.product.id === id);
    if (!row?.canOpen) return false;
    post({ type: 'open', detect: catalogItem(row.product).detect });
    return true;
  }

  // The page owns the whole dictionary, so every change sends all of it.
  function saveSettings(settings) {
    store.update({ settings });
    post({ type: 'save', settings: normalizeSettings(settings) });
  }

  // Before "init" the page does not know the stored settings yet; saving then
  // would replace them with a dictionary holding only this one change.
  function setLanguage(choice) {
    if (!LANG_CHOICES.includes(choice) || !store.get().booted) return false;
    const { settings } = store.get();
    if (langChoice(settings) === choice && (choice !== 'system' || !('lang' in settings))) {
      return false;
    }
    saveSettings(withLanguage(settings, choice));
    return true;
  }

  function setStartLogin(on) {
    if (!store.get().booted) return false;
    const wanted = on === true;
    const { settings } = store.get();
    if (startsAtLogin(settings) === wanted && typeof settings.startLogin === 'boolean') return false;
    // Saved first, so that the native close rule already sees the new value
    // while the login item is being registered.
    saveSettings(withStartLogin(settings, wanted));
    post({ type: 'setLoginItem', on: wanted });
    return true;
  }

  // The web view never leaves the page; outside addresses are opened by the
  // native side in the user's browser, which also checks the host.
  function openLink(url) {
    if (typeof url !== 'string') return false;
    let parsed;
    try {
      parsed = new URL(url);
    } catch {
      return false;
    }
    if (parsed.protocol !== 'https:' && parsed.protocol !== 'http:') return false;
    post({ type: 'link', url: parsed.href });
    return true;
  }

  router.on('init', (event) => {
    const first = !store.get().booted;
    store.update((state) => applyInit(state, event));
    // Once per page load, as soon as demo mode and the version are known.
    if (first && checkOnStart) checkForUpdates();
  });
  router.on('appearance', (event) => store.update((state) => applyAppearance(state, event)));
  router.on('checkNow', () => {
    showView('products');
    checkForUpdates();
  });

  // A copy for tests and the demo script to read; changing it changes nothing.
  function snapshot() {
    const state = store.get();
    return JSON.parse(JSON.stringify({ ...state, lang: langOf(state) }));
  }

  // The native side evaluates "window.Suite && Suite.receive(…)" and drops
  // the event when Suite is missing, so Suite must exist before "ready" goes
  // out: the "init" answer can arrive before post() even returns.
  function connect(win) {
    win.Suite = Object.freeze({
      receive(event) {
        router.receive(event);
      },
      snapshot,
    });
    post({ type: 'ready' });
    return win.Suite;
  }

  return {
    store,
    receive: router.receive,
    on: router.on,
    connect,
    showView,
    checkForUpdates,
    setSelected,
    installSelected,
    updateAll,
    openProduct,
    setLanguage,
    setStartLogin,
    openLink,
    snapshot,
  };
}
