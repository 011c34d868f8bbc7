// Products view: the check button and its status line, the outcome of the
// last check (loading, empty, offline or failed, with a retry), the install
// buttons, and the two product groups with one row per catalog product.
//
// Rows are kept per product id and updated in place, so a tick or a new scan
// never rebuilds the list under the user's pointer or keyboard focus. A list
// may run to thousands of products: only the rows near the window are drawn
// (see windowed-list.js), an install event redraws only the row it names, and
// each list answers all its rows' buttons with one listener.

import { createAnnouncer, milestoneOf } from '../announcer.js';
import { $, $$, announceIn, setText } from '../dom.js';
import { MAX_PRODUCTS, productName } from '../catalog.js';
import { checkStatus } from '../check.js';
import { formatWhen, t } from '../i18n.js';
import { batchPosition, batchSummary } from '../install.js';
import { createRowsMemo, pendingUpdates } from '../inventory.js';
import { updateAllLabel, updatesHeadline, windowTitle } from '../messages.js';
import { plainText } from '../rules.js';
import { lastCheckOf } from '../schedule.js';
import { langOf } from '../state.js';
import { buildRow, isOpen, progressOf, progressWords, renderRow, reuseRow, setOpen } from './product-row.js';
import { createWindowedList } from './windowed-list.js';

const NOTICE_KEYS = { offline: 'offline', unavailable: 'unavailable', outdated: 'outdated', clock: 'clock' };

// `frame` runs a function before the next paint; tests pass their own.
export function mountProducts(app, doc = document, frame = (fn) => doc.defaultView.requestAnimationFrame(fn)) {
  const panel = $('[data-panel="products"]', doc);
  const button = $('[data-action="check"]', panel);
  const status = $('[data-check-status]', panel);
  const statusText = $('[data-check-text]', status);
  const headline = $('[data-headline]', status);

  const notice = $('[data-catalog-notice]', panel);
  const noticeTitle = $('[data-notice-title]', notice);
  const noticeBody = $('[data-notice-body]', notice);
  const noticeStale = $('[data-notice-stale]', notice);
  const retry = $('[data-action="retry"]', notice);
  const sample = $('[data-sample-notice]', panel);
  const unsupported = $('[data-unsupported-notice]', panel);
  const capped = $('[data-capped-notice]', panel);
  const loading = $('[data-products-loading]', panel);
  const none = $('[data-products-none]', panel);

  const toolbar = $('[data-product-toolbar]', panel);
  const selectedCount = $('[data-selected-count]', toolbar);
  const installSelected = $('[data-action="install-selected"]', toolbar);
  const updateAll = $('[data-action="update-all"]', toolbar);
  const updateAllText = $('[data-update-all-text]', updateAll);

  const batch = $('[data-batch]', panel);
  const batchText = $('[data-batch-text]', batch);
  const batchBar = $('[data-batch-bar]', batch);
  const batchClose = $('[data-action="dismiss-batch"]', batch);
  const retryFailed = $('[data-action="retry-failed"]', batch);
  const cancelAll = $('[data-action="cancel-all"]', batch);
  const batchNote = $('[data-batch-note]', batch);
  const openLog = $('[data-action="open-log"]', batch);
  const live = $('[data-live]', doc);

  const groups = $$('[data-group]', panel);
  const announcer = createAnnouncer();
  const rowsOf = createRowsMemo();
  let wakeTimer = null;

  // What the rows are drawn from, kept by the last render.
  let shown = { list: null, byId: new Map(), index: new Map(), installs: new Map(), lang: 'en', view: null };

  // A row is written again only when its row, its install entry or the
  // language is new; a download's progress thus touches its own row alone.
  function drawRow(id, parts) {
    const row = shown.byId.get(id);
    const entry = shown.installs.get(id);
    const last = parts.shown;
    if (!row || (last?.row === row && last.entry === entry && last.lang === shown.lang)) return;
    renderRow(parts, row, shown.lang, progressOf(row, shown.installs), entry?.at);
    parts.shown = { row, entry, lang: shown.lang };
  }

  const lists = new Map(
    groups.map((group) => {
      const ul = $('[data-group-list]', group);
      const rows = createWindowedList({
        list: ul,
        frame,
        draw: drawRow,
        build: (id, spare) => {
          const { product } = shown.byId.get(id);
          return spare ? reuseRow(spare, product) : buildRow(doc, product);
        },
      });
      listenToRows(ul, rows);
      return [group.dataset.group, rows];
    }),
  );
  const updateWindows = () => {
    for (const rows of lists.values()) rows.update();
  };
  doc.addEventListener('scroll', updateWindows, { capture: true, passive: true });
  doc.defaultView.addEventListener('resize', updateWindows);

  // One listener per list for the buttons and ticks of all its rows, drawn
  // now or later.
  function listenToRows(ul, rows) {
    ul.addEventListener('change', (event) => {
      const box = event.target.closest('[data-select]');
      const id = box?.closest('[data-product]')?.dataset.product;
      if (id !== undefined) app.setSelected(id, box.checked);
    });
    ul.addEventListener('click', (event) => {
      const control = event.target.closest('button');
      const id = control?.closest('[data-product]')?.dataset.product;
      const parts = id === undefined ? undefined : rows.parts(id);
      if (!parts) return;
      if (control.matches('[data-disclosure]')) {
        setOpen(control.parentElement, !isOpen(control.parentElement));
      } else if (control.matches('[data-install], [data-retry]')) {
        if (app.installProduct(id)) parts.status.focus();
      } else if (control.matches('[data-anyway]')) {
        if (app.updateAnyway(id)) parts.status.focus();
      } else if (control.matches('[data-cancel], [data-stop-waiting]')) {
        // The row keeps focus on its status until the stop is confirmed,
        // then hands it to Install, which is back by then (see renderRow).
        const stopped = control.matches('[data-cancel]') ? app.cancelInstall(id) : app.stopWaiting(id);
        if (!stopped) return;
        parts.focusInstall = true;
        parts.status.focus();
      } else if (control.matches('[data-open]')) {
        app.openProduct(id);
      } else if (control.matches('[data-open-log]')) {
        app.openLog();
      }
    });
  }

  // The batch bar is where a batch's story goes on; after it closes, the
  // list's own buttons are.
  const toBatch = (started) => {
    if (started) batch.focus();
  };
  button.addEventListener('click', () => app.checkForUpdates());
  // "Try again" may disappear with the notice it belongs to: the check
  // button stays, and shows the check running.
  retry.addEventListener('click', () => {
    app.checkForUpdates();
    button.focus();
  });
  installSelected.addEventListener('click', () => toBatch(app.installSelected()));
  updateAll.addEventListener('click', () => toBatch(app.updateAll()));
  retryFailed.addEventListener('click', () => toBatch(app.retryFailed()));
  cancelAll.addEventListener('click', () => toBatch(app.cancelAll()));
  openLog.addEventListener('click', () => app.openLog());
  batchClose.addEventListener('click', () => {
    app.dismissInstalls();
    (updateAll.disabled || toolbar.hidden ? button : updateAll).focus();
  });

  // Lines said in one task go out as one write: a second write in the same
  // task would replace the first before a screen reader read it.
  let spoken = [];
  function say(lines) {
    if (lines.length === 0) return;
    if (spoken.length === 0) {
      setTimeout(() => {
        announceIn(live, spoken.join(' '));
        spoken = [];
      }, 0);
    }
    spoken.push(...lines);
  }

  // Only products with an install on show can have anything to say.
  function announce(state, lang, summary) {
    const items = [];
    for (const id of state.install.items.keys()) {
      const row = shown.byId.get(id);
      const progress = row && progressOf(row, state.install.items);
      if (!progress) continue;
      const name = productName(row.product, lang);
      items.push({
        id,
        at: shown.index.get(id),
        milestone: milestoneOf(progress),
        line: t(lang, 'install.status', { name, status: progressWords(lang, progress, row.product) }),
      });
    }
    items.sort((a, b) => a.at - b.at);
    const { lines, wakeIn } = announcer.update(
      items,
      summary && { done: summary.done, line: batchText.textContent },
      Date.now(),
    );
    say(lines);
    clearTimeout(wakeTimer);
    if (wakeIn !== null) wakeTimer = setTimeout(() => render(app.store.get()), wakeIn);
  }

  function renderBatch(summary, lang) {
    batch.hidden = summary === null;
    if (!summary) return;
    const failed = summary.failed - summary.cancelled;
    batch.dataset.state = summary.done
      ? failed > 0
        ? 'failed'
        : summary.cancelled > 0
          ? 'cancelled'
          : 'ok'
      : 'running';
    const finished = summary.total - summary.active;
    let key = 'batch.running';
    if (summary.done) key = summary.failed > 0 ? 'batch.someFailed' : 'batch.allOk';
    setText(batchText, t(lang, key, { finished, total: summary.total, ok: summary.ok, failed: summary.failed }));
    const pct = Math.round(summary.fraction * 100);
    batchBar.setAttribute('aria-valuenow', String(pct));
    batchBar.firstElementChild.style.inlineSize = `${summary.fraction * 100}%`;
    batchClose.hidden = !summary.done;
    retryFailed.hidden = !summary.done || failed === 0;
    openLog.hidden = !summary.done || failed === 0;
    cancelAll.hidden = summary.done || summary.cancellable === 0;
    // Part of the batch is with the package system: no Cancel there, and why.
    batchNote.hidden = summary.done || summary.installing === 0;
    setText(batchNote, t(lang, 'batch.noCancel'));
  }

  function renderGroups(list, state, lang) {
    const relabel = lang !== shown.lang;
    if (list !== shown.list) {
      shown = { ...shown, list, byId: new Map(), index: new Map() };
      list.forEach((row, i) => {
        shown.byId.set(row.product.id, row);
        shown.index.set(row.product.id, i);
      });
      for (const group of groups) {
        const members = list.filter((row) => row.product.group === group.dataset.group);
        $('[data-group-empty]', group).hidden = members.length > 0;
        $('[data-group-list]', group).hidden = members.length === 0;
        lists.get(group.dataset.group).setKeys(members.map((row) => row.product.id));
      }
    }
    shown.installs = state.install.items;
    shown.lang = lang;
    for (const rows of lists.values()) {
      rows.redraw();
      if (relabel) rows.remeasure();
    }
    // The panel may just have come back into view, with a window to work out.
    if (state.view !== shown.view) updateWindows();
    shown.view = state.view;
  }

  // What the header and the toolbar count, worked out again only for a new list.
  let counted = { list: null };
  function counts(list) {
    if (counted.list === list) return counted;
    counted = {
      list,
      pending: pendingUpdates(list),
      picked: list.filter((row) => row.selected).length,
      updatable: pendingUpdates(list.filter((row) => row.selectable)),
    };
    return counted;
  }

  function render(state) {
    const lang = langOf(state);
    // Until this page load has checked, the last check of an earlier run
    // (saved in the settings) stands in.
    const lastCheck = lastCheckOf(state.settings);
    const check =
      state.check.lastAt === null && lastCheck !== null
        ? { ...state.check, lastAt: lastCheck, lastOk: true }
        : state.check;
    const { state: phase, text } = checkStatus(lang, check, Date.now());
    const running = state.check.running;
    status.dataset.state = phase;
    // Why updates the program takes care of on its own have not downloaded yet.
    const { autoUpdate } = state;
    const waiting = autoUpdate?.state === 'waiting' ? ` ${t(lang, `auto.waiting.${autoUpdate.reason}`)}` : '';
    setText(statusText, text + waiting);
    button.setAttribute('aria-busy', String(running));

    const { catalog } = state;
    const list = rowsOf(state);
    const hasProducts = list.length > 0;
    const installing = state.packages !== '';
    const { pending, picked, updatable } = counts(list);

    // What the list holds, said where the check's outcome is announced; after a
    // failed check the list may be an old one, and "up to date" would be a guess.
    headline.hidden = !hasProducts || !installing || Boolean(catalog.error);
    const ready = autoUpdate?.state === 'ready' && pending.count > 0;
    setText(headline, headline.hidden ? '' : ready ? t(lang, 'auto.ready') : updatesHeadline(lang, pending));

    const error = catalog.error;
    notice.hidden = !error;
    if (error) {
      const key = NOTICE_KEYS[error] ?? 'timeout';
      notice.dataset.kind = key;
      setText(noticeTitle, t(lang, `notice.${key}.title`));
      setText(noticeBody, t(lang, `notice.${key}.body`));
      noticeStale.hidden = !hasProducts;
      const saved =
        catalog.source === 'cache'
          ? t(lang, error === 'offline' ? 'notice.savedOffline' : 'notice.saved', {
              when: formatWhen(lang, catalog.savedAt),
            })
          : t(lang, 'notice.stale');
      setText(noticeStale, saved);
      retry.disabled = running;
      retry.setAttribute('aria-busy', String(running));
    }
    sample.hidden = catalog.source !== 'sample';
    unsupported.hidden = installing;
    capped.hidden = !(catalog.leftOut > 0);
    setText(capped, t(lang, 'notice.capped', { max: MAX_PRODUCTS }));

    // Without products, the space says why: still looking, nothing offered,
    // or (before any check) the groups with their own empty texts.
    loading.hidden = hasProducts || !running || Boolean(error);
    none.hidden = hasProducts || running || error !== null || catalog.source === null;
    const showGroups = hasProducts || (!running && !error && catalog.source === null);
    for (const group of groups) group.hidden = !showGroups;
    renderGroups(list, state, lang);
    const summary = batchSummary(state.install);
    renderBatch(summary, lang);
    announce(state, lang, summary);
    const title = plainText(windowTitle(lang, batchPosition(summary)));
    if (doc.title !== title) doc.title = title;

    toolbar.hidden = !hasProducts || !installing;
    setText(selectedCount, picked > 0 ? t(lang, 'products.selected', { count: picked }) : '');
    installSelected.disabled = picked === 0;
    updateAll.disabled = updatable.count === 0;
    setText(updateAllText, updateAllLabel(lang, updatable));
  }

  return render;
}
