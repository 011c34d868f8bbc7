// The page's core: state, the events it answers and the things the user can
// do. It knows nothing of the DOM, so it runs unchanged under node; views
// subscribe to `store` and call the intents below. Each concern lives in its
// own module under app/; this one puts them together and connects the page
// to the native side.

import { createAutoUpdates } from './app/auto-update.js';
import { createChecks } from './app/checks.js';
import { createDemoPlayer } from './app/demo-player.js';
import { createFeedbackIntents } from './app/feedback-intents.js';
import { createHistoryIntents } from './app/history-intents.js';
import { createInstallIntents } from './app/install-intents.js';
import { createRedrawThrottle } from './app/redraw-throttle.js';
import { createSettingsIntents } from './app/settings-intents.js';
import { TICK_MS, createWakeSchedule } from './app/wake-schedule.js';
import { createRouter } from './bridge.js';
import { loadSampleCatalog } from './check.js';
import { VIEWS, applyAppearance, createStore, initialState, langOf } from './state.js';

export { PROGRESS_REDRAW_MS } from './app/redraw-throttle.js';
export { TICK_MS };

const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// `runCheck` stands in for the whole check and `loadSample` for the bundled
// sample catalog; `timers` drive the bounded waits for native answers,
// `later` the demo's played events and `every` the clock tick; `isAway` says
// whether the user is not looking at the window. Tests pass their own; the
// page uses the real ones.
export function createApp({
  post,
  now = Date.now,
  runCheck,
  minBusyMs = 0,
  wait = pause,
  loadSample = loadSampleCatalog,
  timers,
  checkOnStart = false,
  later = (ms, fn) => setTimeout(fn, ms),
  every = null,
  isAway = () => false,
} = {}) {
  if (typeof post !== 'function') throw new TypeError('createApp needs a post function');

  const store = createStore(initialState());
  const router = createRouter();
  const settings = createSettingsIntents({ store, post });
  const autoUpdates = createAutoUpdates({ store, router, post });
  const checks = createChecks({
    store,
    router,
    post,
    now,
    runCheck,
    minBusyMs,
    wait,
    loadSample,
    timers,
    checkOnStart,
    isAway,
    saveSettings: settings.saveSettings,
    autoUpdates,
  });
  const { checkForUpdates } = checks;
  const { tick } = createWakeSchedule({ store, post, now, checkForUpdates });
  const demo = createDemoPlayer({ store, emit: router.receive, later });
  const installs = createInstallIntents({ store, post, now, demo });
  const feedback = createFeedbackIntents({ store, post, now, router, demo });
  const history = createHistoryIntents({ store, post, router, now, demo });

  function showView(view) {
    if (!VIEWS.includes(view)) return;
    store.update({ view });
    if (view === 'history') history.refresh();
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

  router.on('appearance', (event) => store.update((state) => applyAppearance(state, event)));
  router.on('checkNow', () => {
    showView('products');
    checkForUpdates();
  });
  const onInstallEvent = createRedrawThrottle({ store, now, later });
  router.on('progress', onInstallEvent);
  router.on('result', onInstallEvent);
  router.on('autoUpdate', onInstallEvent);
  router.on('notifAction', (event) => {
    if (event.action !== 'update') return;
    showView('products');
    // A page loaded again for this answer is still checking: the updates are
    // known once the check has ended.
    checks.afterRunning(installs.updateAll);
  });

  // A copy for tests and the demo script to read; changing it changes nothing.
  // Tables by id become plain objects of their own members.
  function snapshot() {
    const state = store.get();
    const plain = (key, value) => (value instanceof Map ? Object.fromEntries(value) : value);
    return JSON.parse(JSON.stringify({ ...state, lang: langOf(state) }, plain));
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
    every?.(TICK_MS, tick);
    return win.Suite;
  }

  return {
    store,
    receive: router.receive,
    on: router.on,
    connect,
    showView,
    checkForUpdates,
    setSelected: installs.setSelected,
    installSelected: installs.installSelected,
    updateAll: installs.updateAll,
    installProduct: installs.installProduct,
    cancelInstall: installs.cancelInstall,
    cancelAll: installs.cancelAll,
    stopWaiting: installs.stopWaiting,
    retryFailed: installs.retryFailed,
    updateAnyway: installs.updateAnyway,
    recheckOpen: installs.recheckOpen,
    openLog: installs.openLog,
    restore: history.restore,
    dismissInstalls: installs.dismissInstalls,
    setAutoCheck: settings.setAutoCheck,
    setAutoInstall: settings.setAutoInstall,
    setFeedbackField: feedback.setFeedbackField,
    pickFiles: feedback.pickFiles,
    removeFile: feedback.removeFile,
    sendFeedback: feedback.sendFeedback,
    tick,
    openProduct: installs.openProduct,
    setLanguage: settings.setLanguage,
    setStartLogin: settings.setStartLogin,
    openLink,
    snapshot,
  };
}
