// The page's core: state, the events it answers and the things the user can
// do. It knows nothing of the DOM, so it runs unchanged under node; views
// subscribe to `store` and call the intents below.

import { createRouter } from './bridge.js';
import { createChecker } from './check.js';
import {
  LANG_CHOICES, VIEWS, applyAppearance, applyInit, createStore, initialState, langChoice, langOf,
  normalizeSettings, startsAtLogin, withLanguage, withStartLogin,
} from './state.js';

export function createApp({ post, now = Date.now, runCheck, minBusyMs = 0, wait } = {}) {
  if (typeof post !== 'function') throw new TypeError('createApp needs a post function');

  const store = createStore(initialState());
  const router = createRouter();
  const checker = createChecker({
    run: runCheck,
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

  router.on('init', (event) => store.update((state) => applyInit(state, event)));
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
    setLanguage,
    setStartLogin,
    openLink,
    snapshot,
  };
}
