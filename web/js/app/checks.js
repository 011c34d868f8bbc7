// The update check as the page runs it: the native answers it waits for, the
// kept list shown while it runs, what it tells the user when they are not
// looking, and the "init" and late "catalog" events that start one.

import { productFor } from '../catalog.js';
import { createChecker, createEventWaiter, createScanner, readSavedList, runUpdateCheck } from '../check.js';
import { applyCheckResult, showsCheckedList, updatableProducts, withSavedListShown } from '../inventory.js';
import { UPDATES_FOUND, notification } from '../notices.js';
import { keptCopyOf } from '../saved-list.js';
import { announceKeys, newUpdates } from '../schedule.js';
import { applyInit, langOf, policyShows } from '../state.js';

export function createChecks({
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
  saveSettings,
  autoUpdates,
}) {
  const waitFor = createEventWaiter(router.on, timers);
  // How many waits for a "catalog" answer are armed: an answer none of them
  // takes came after its check stopped waiting.
  let catalogWaits = 0;
  const expect = (type, ms) => {
    const pending = waitFor(type, ms);
    if (type === 'catalog') {
      catalogWaits += 1;
      pending.answer.then(() => {
        catalogWaits -= 1;
      });
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
      post,
      expect,
      scan,
      loadSample,
      saved: savedList,
      isDemo: () => store.get().demo,
      packageKind: () => store.get().packages,
      arch: () => store.get().arch,
      vendorHost: () => store.get().vendorHost,
      shows: (product) => policyShows(store.get().policy, product),
      secondsPerAddress: () => store.get().catalogSecondsPerAddress,
      answer,
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
    // With "autoInstall" on, the native side takes them and says what became of them.
    if (autoUpdates.take(updates, fresh)) return;
    if (fresh.length === 0 || !isAway()) return;
    post(notification(langOf(state), UPDATES_FOUND, updates));
  }

  const checker = createChecker({
    run: checkAndApply,
    now,
    minBusyMs,
    wait,
    onChange: (check) => store.update({ check }),
  });

  const checkForUpdates = () => checker.start();

  // Runs `then` once the check under way, if any, has ended: a page loaded
  // again for an answer is still checking, and what it found is known after.
  function afterRunning(then) {
    if (store.get().check.running) checker.start().then(then);
    else then();
  }

  // The kept list with what a scan finds installed now; the scan comes before
  // the check's own, so the list shows the user's versions at once.
  function showKeptList() {
    const list = readSavedList(kept, store.get().vendorHost, (product) => policyShows(store.get().policy, product));
    store.update((state) => withSavedListShown(state, list));
    if (!list || store.get().catalog.source !== 'cache') return;
    const { packages, arch } = store.get();
    const offered = list.products.map((p) => productFor(p, packages, arch)).filter(Boolean);
    if (offered.length === 0) return;
    scan(offered).then((installed) =>
      store.update((state) =>
        installed && state.catalog.source === 'cache' && state.catalog.savedAt === list.savedAt
          ? withSavedListShown(state, { ...list, installed }, state.catalog.error)
          : state,
      ),
    );
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

  // A catalog that came after its check stopped waiting is still the
  // vendor's newest the native side trusts: the list it brings is shown, by
  // a run of its own once the one under way has ended.
  router.on('catalog', (event) => {
    if (catalogWaits > 0 || event.ok !== true || typeof event.text !== 'string') return;
    lateAnswer = event;
    afterRunning(() => {
      if (lateAnswer === event) checkForUpdates();
    });
  });

  return { checkForUpdates, afterRunning };
}
