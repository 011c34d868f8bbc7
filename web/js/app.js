// The page's core: state, the events it answers and the things the user can
// do. It knows nothing of the DOM, so it runs unchanged under node; views
// subscribe to `store` and call the intents below.

import { createRouter } from './bridge.js';
import { catalogItem, productFor } from './catalog.js';
import {
  createChecker, createEventWaiter, createScanner, loadSampleCatalog, readSavedList, runUpdateCheck,
} from './check.js';
import { feedbackScript, installScript, play } from './demo.js';
import {
  feedbackEvent, feedbackRecord, feedbackStalled, isValid, sending, withField, withPicked,
  withoutFile,
} from './feedback.js';
import { t } from './i18n.js';
import {
  cancellableIds, dismissBatch, failedIds, installRequested, installStalled, isCancellable, isWaitingForInstaller,
} from './install.js';
import {
  applyCheckResult, installBatch, productRows, selectedProducts, showsCheckedList, updatableProducts,
  withInstallEvent, withSavedListShown, withSelection, withoutSelection,
} from './inventory.js';
import { keptCopyOf } from './saved-list.js';
import {
  AUTO_CHOICES, announceKeys, autoCheckChoice, isCheckDue, newUpdates, nextCheckAt,
} from './schedule.js';
import {
  LANG_CHOICES, VIEWS, applyAppearance, applyInit, createStore, initialState, langChoice, langOf,
  startsAtLogin, withLanguage, withStartLogin,
} from './state.js';

const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// How often the page looks at the clock: for the schedule, and for answers
// that should have come by now.
export const TICK_MS = 15_000;

// The least time between two drawings of a download's share.
export const PROGRESS_REDRAW_MS = 500;

// `runCheck` stands in for the whole check and `loadSample` for the bundled
// sample catalog; `timers` drive the bounded waits for native answers,
// `later` the demo's played events and `every` the clock tick; `isAway` says
// whether the user is not looking at the window. Tests pass their own; the
// page uses the real ones.
export function createApp({
  post, now = Date.now, runCheck, minBusyMs = 0, wait = pause, loadSample = loadSampleCatalog,
  timers, checkOnStart = false, later = (ms, fn) => setTimeout(fn, ms), every = null,
  isAway = () => false,
} = {}) {
  if (typeof post !== 'function') throw new TypeError('createApp needs a post function');

  const store = createStore(initialState());
  const router = createRouter();
  const waitFor = createEventWaiter(router.on, timers);
  // How many waits for a "catalog" answer are armed: an answer none of them
  // takes came after its check stopped waiting.
  let catalogWaits = 0;
  const expect = (type, ms) => {
    const pending = waitFor(type, ms);
    if (type === 'catalog') {
      catalogWaits += 1;
      pending.answer.then(() => { catalogWaits -= 1; });
    }
    return pending;
  };
  const scan = createScanner({ post, expect });
  // The catalog the native side kept and verified ("init"); a good check
  // here replaces it, as the native side does on disk.
  let kept = null;
  // A checked list already on screen is newer than the kept one, or the same.
  const savedList = () => (showsCheckedList(store.get()) ? null : kept);
  // A late answer the next run goes on from instead of fetching.
  let lateAnswer = null;
  const liveCheck = () => {
    const answer = lateAnswer;
    lateAnswer = null;
    return runUpdateCheck({
      post, expect, scan, loadSample, saved: savedList, isDemo: () => store.get().demo,
      packageKind: () => store.get().packages, arch: () => store.get().arch, vendorHost: () => store.get().vendorHost,
      secondsPerAddress: () => store.get().catalogSecondsPerAddress, answer,
    });
  };
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
    if (result?.ok === true) afterCheck(result);
    return result;
  }

  // Updates seen once, on screen or in a notification, are not announced
  // again; a newer version of the same product is. Kept in the settings
  // ("announced", the pending updates' keys), since the page is loaded again
  // for each check while the program waits in the background.
  const announced = new Set();

  function afterCheck(result) {
    const state = store.get();
    const updates = updatableProducts(state);
    const fresh = newUpdates(updates, announced);
    for (const key of announceKeys(updates)) announced.add(key);
    const at = now();
    if (typeof result.text === 'string') kept = { text: result.text, at };
    if (state.booted) saveSettings({ ...state.settings, lastCheck: at, announced: announceKeys(updates) });
    if (fresh.length === 0 || !isAway()) return;
    const lang = langOf(state);
    const names = updates.map((p) => p.name[lang] ?? p.name.en);
    post({
      type: 'notify',
      title: t(lang, 'notify.title'),
      body: t(lang, updates.length === 1 ? 'notify.bodyOne' : 'notify.body', {
        count: updates.length, names: names.join(t(lang, 'list.separator')),
      }),
      update: t(lang, 'notify.update'),
      later: t(lang, 'notify.later'),
    });
  }

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

  // Demo mode: which played run each product's events belong to (a cancel
  // or a new request silences the older one), and how far a cancelled played
  // download had come, for the next one to go on from, as a real one would.
  const demoRuns = new Map();
  const demoKept = new Map();
  let demoRun = 0;

  function playDemoInstall(items) {
    const run = ++demoRun;
    const kept = new Map();
    for (const { id } of items) {
      demoRuns.set(id, run);
      if (demoKept.has(id)) kept.set(id, demoKept.get(id));
      demoKept.delete(id);
    }
    play(installScript(items, kept), { emit: router.receive, later, alive: (event) => demoRuns.get(event.id) === run });
  }

  // The native side's answer to a cancel, played: a stopped download keeps
  // its part, a checked one is removed, a waiting one had nothing yet.
  function cancelDemoInstall(id) {
    const entry = store.get().install.items.get(id);
    demoRuns.delete(id);
    if (entry.phase === 'download' && entry.pct > 0) demoKept.set(id, entry.pct);
    if (entry.phase === 'verify') demoKept.delete(id);
    router.receive({ type: 'result', id, ok: false, error: 'cancelled', reason: 'cancelled' });
  }

  // The native side reports each item later with "progress" and "result"
  // events; in demo mode it ignores the request, and the page plays the
  // events itself. Only products this host can install are asked for, as
  // they are for this host's kind, and none that is already on its way.
  function requestInstall(ids) {
    const state = store.get();
    if (state.catalog.source === 'cache') return false;
    const asked = new Set(ids);
    const wanted = productRows(state).filter((row) => row.available && !row.busy && asked.has(row.product.id))
      .map((row) => row.product);
    if (wanted.length === 0) return false;
    const items = installBatch(wanted);
    // Without a native side (the page opened in a browser) nothing would ever answer.
    if (post({ type: 'install', items }) === false && !state.demo) return false;
    store.update((s) => withoutSelection({
      ...s, install: installRequested(s.install, items.map((i) => i.id), now()),
    }));
    if (state.demo) playDemoInstall(items);
    return true;
  }

  // Stops items short of the privileged run; the native side answers each
  // with a "cancelled" result, or, when one has just gone on to the password,
  // with nothing but its real outcome later. Nothing changes here until then.
  function cancelInstall(id) {
    const { demo, install } = store.get();
    if (!isCancellable(install.items.get(id))) return false;
    if (post({ type: 'cancel', id }) === false && !demo) return false;
    if (demo) cancelDemoInstall(id);
    return true;
  }

  function cancelAll() {
    const { demo, install } = store.get();
    const ids = cancellableIds(install);
    if (ids.length === 0) return false;
    if (post({ type: 'cancel' }) === false && !demo) return false;
    if (demo) ids.forEach(cancelDemoInstall);
    return true;
  }

  // The native side answers with the item's "install" failure.
  function stopWaiting(id) {
    if (!isWaitingForInstaller(store.get().install.items.get(id))) return false;
    return post({ type: 'stopWaiting', id }) !== false;
  }

  const installProduct = (id) => requestInstall([id]);
  const retryFailed = () => requestInstall(failedIds(store.get().install));

  // The native side opens the log with the desktop's handler for it.
  const openLog = () => post({ type: 'openLog' }) !== false;

  function dismissInstalls() {
    store.update((s) => {
      const install = dismissBatch(s.install);
      return install === s.install ? s : { ...s, install };
    });
  }

  const ids = (products) => products.map((p) => p.id);
  const installSelected = () => requestInstall(ids(selectedProducts(store.get())));
  const updateAll = () => requestInstall(ids(updatableProducts(store.get())));

  function setAutoCheck(choice) {
    const { settings, booted } = store.get();
    if (!booted || !AUTO_CHOICES.includes(choice) || autoCheckChoice(settings) === choice) return false;
    saveSettings({ ...settings, autoCheck: choice });
    return true;
  }

  // ---- Feedback ----

  const updateFeedback = (change) => store.update((s) => {
    const feedback = change(s.feedback);
    return feedback === s.feedback ? s : { ...s, feedback };
  });

  // Ends the demo's played events of an earlier submission.
  let submission = 0;

  function setFeedbackField(name, value) {
    updateFeedback((fb) => withField(fb, name, value));
  }

  // The answer, if any, is a "picked" event; cancelling sends nothing, so
  // nothing waits for it.
  function pickFiles() {
    if (store.get().feedback.status === 'sending') return false;
    post({ type: 'pickFiles' });
    return true;
  }

  const removeFile = (id) => updateFeedback((fb) => withoutFile(fb, id));

  function sendFeedback() {
    const state = store.get();
    const fb = state.feedback;
    if (fb.status === 'sending' || !isValid(fb)) return false;
    const sent = post({
      type: 'sendFeedback',
      data: feedbackRecord(fb, { lang: langOf(state), version: state.version }),
      files: fb.files.map((f) => f.id),
    });
    if (sent === false && !state.demo) {
      updateFeedback((current) => ({ ...current, status: 'failed', error: 'send' }));
      return false;
    }
    updateFeedback((current) => sending(current, now()));
    const mine = ++submission;
    if (state.demo) {
      play(feedbackScript(fb.files.length), { emit: router.receive, later, alive: () => mine === submission });
    }
    return true;
  }

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

  // Only what the scan found installed, and only applications, can be
  // opened; the native side looks the product up by its "detect" rules.
  function openProduct(id) {
    const row = productRows(store.get()).find((r) => r.product.id === id);
    if (!row?.canOpen) return false;
    post({ type: 'open', detect: catalogItem(row.product).detect });
    return true;
  }

  // The page owns the whole dictionary, so every change sends all of it. The
  // bridge sends it as JSON text, which is the detached, JSON-only copy the
  // native side needs; a copy made here as well doubled the work on the kept
  // list, megabytes for a long catalog, before its list was drawn.
  function saveSettings(settings) {
    store.update({ settings });
    post({ type: 'save', settings });
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
    kept = keptCopyOf(event);
    const seen = store.get().settings.announced;
    if (Array.isArray(seen)) seen.filter((key) => typeof key === 'string').forEach((key) => announced.add(key));
    // Once per page load, as soon as demo mode and the version are known.
    if (!first || !checkOnStart) return;
    // The page is loaded again each time the window shows after the program
    // let it go, so the kept list stands in for the few moments the check
    // takes; a demo shows its sample alone.
    if (!store.get().demo) showKeptList();
    checkForUpdates();
  });

  // The kept list with what a scan finds installed now; the scan comes before
  // the check's own, so the list shows the user's versions at once.
  function showKeptList() {
    const list = readSavedList(kept, store.get().vendorHost);
    store.update((state) => withSavedListShown(state, list));
    if (!list || store.get().catalog.source !== 'cache') return;
    const { packages, arch } = store.get();
    const offered = list.products.map((p) => productFor(p, packages, arch)).filter(Boolean);
    if (offered.length === 0) return;
    scan(offered).then((installed) => store.update((state) => (
      installed && state.catalog.source === 'cache' && state.catalog.savedAt === list.savedAt
        ? withSavedListShown(state, { ...list, installed }, state.catalog.error) : state)));
  }

  // A catalog that came after its check stopped waiting is still the
  // vendor's newest the native side trusts: the list it brings is shown, by
  // a run of its own once the one under way has ended.
  router.on('catalog', (event) => {
    if (catalogWaits > 0 || event.ok !== true || typeof event.text !== 'string') return;
    lateAnswer = event;
    const again = () => { if (lateAnswer === event) checkForUpdates(); };
    if (store.get().check.running) checker.start().then(again);
    else again();
  });
  router.on('appearance', (event) => store.update((state) => applyAppearance(state, event)));
  router.on('checkNow', () => {
    showView('products');
    checkForUpdates();
  });
  // Install events are drawn at most every PROGRESS_REDRAW_MS. A download
  // reports its share every 150 ms, and in a batch of small packages every
  // row starts, is checked and ends within a fraction of a second: drawn as
  // they came, a batch of 20 packages of 64 MiB drew the page 71 times in
  // five seconds, on a machine that needed those cores for the downloads;
  // held, 10 times. An event after a quiet spell shows at once; those that
  // follow within the interval show together at its end, in order, each
  // applied at the time it came, a download's share by its latest figure.
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
  const isShare = (event) => event?.type === 'progress' && event.phase === 'download';
  function onInstallEvent(event) {
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
  }
  router.on('progress', onInstallEvent);
  router.on('result', onInstallEvent);
  router.on('notifAction', (event) => {
    if (event.action !== 'update') return;
    showView('products');
    // A page loaded again for this answer is still checking: the updates are
    // known once the check has ended.
    if (store.get().check.running) checker.start().then(updateAll);
    else updateAll();
  });
  router.on('picked', (event) => updateFeedback((fb) => withPicked(fb, event)));
  const onFeedbackEvent = (event) => updateFeedback((fb) => feedbackEvent(fb, event, now()));
  router.on('feedbackProgress', onFeedbackEvent);
  router.on('feedbackResult', onFeedbackEvent);

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
    setSelected,
    installSelected,
    updateAll,
    installProduct,
    cancelInstall,
    cancelAll,
    stopWaiting,
    retryFailed,
    openLog,
    dismissInstalls,
    setAutoCheck,
    setFeedbackField,
    pickFiles,
    removeFile,
    sendFeedback,
    tick,
    openProduct,
    setLanguage,
    setStartLogin,
    openLink,
    snapshot,
  };
}
