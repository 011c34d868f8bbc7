// Products view: the check button and its status line, the outcome of the
// last check (loading, empty, offline or failed, with a retry), the install
// buttons, and the two product groups with one row per catalog product.
//
// Rows are kept per product id and updated in place, so a tick or a new scan
// never rebuilds the list under the user's pointer or keyboard focus. Every
// catalog text goes in as text, never as markup: the catalog is remote data.

import { createAnnouncer, milestoneOf } from '../announcer.js';
import { $, $$, setText } from '../dom.js';
import { MAX_PRODUCTS } from '../catalog.js';
import { checkStatus } from '../check.js';
import { formatPct, formatSize, formatWhen, t } from '../i18n.js';
import { batchPosition, batchSummary, itemProgress } from '../install.js';
import { pendingUpdates, productRows } from '../inventory.js';
import { failureMessage, hostOf, updateAllLabel, updatesHeadline, windowTitle } from '../messages.js';
import { lastCheckOf } from '../schedule.js';
import { langOf } from '../state.js';

const SVG = 'http://www.w3.org/2000/svg';

// Versions are Latin text inside possibly Arabic sentences; isolated, "1.2.0"
// never gets reordered by the surrounding direction.
const isolateLtr = (text) => `\u2066${text}\u2069`;

const STATE_ICONS = {
  missing: 'i-plus', update: 'i-update', current: 'i-check', unavailable: 'i-close', unsupported: 'i-close',
};
const GROUP_ICONS = { app: 'i-app', addin: 'i-slides' };

function el(doc, tag, className, attrs = {}) {
  const node = doc.createElement(tag);
  if (className) node.className = className;
  for (const [name, value] of Object.entries(attrs)) node.setAttribute(name, value);
  return node;
}

function icon(doc, id, className = 'icon') {
  const svg = doc.createElementNS(SVG, 'svg');
  svg.setAttribute('class', className);
  svg.setAttribute('aria-hidden', 'true');
  const use = doc.createElementNS(SVG, 'use');
  use.setAttribute('href', `#${id}`);
  svg.append(use);
  return svg;
}

function setIcon(svg, id) {
  const use = svg.firstElementChild;
  if (use.getAttribute('href') !== `#${id}`) use.setAttribute('href', `#${id}`);
}

function fact(doc) {
  const wrap = el(doc, 'div', 'fact');
  const term = el(doc, 'dt');
  const value = el(doc, 'dd');
  wrap.append(term, value);
  return { wrap, term, value };
}

// One row's elements, built once per product id.
function buildRow(doc, product, app) {
  const li = el(doc, 'li', 'product', { 'data-product': product.id });

  // The tick adds the product to a batch; its visible word says so.
  const pick = el(doc, 'label', 'product-pick');
  const box = el(doc, 'input', 'check', { type: 'checkbox', 'data-select': '' });
  box.addEventListener('change', () => app.setSelected(product.id, box.checked));
  const pickText = el(doc, 'span', 'pick-text');
  pick.append(box, pickText);

  const mark = el(doc, 'span', 'product-icon', { 'aria-hidden': 'true' });
  mark.append(icon(doc, GROUP_ICONS[product.group] ?? 'i-app'));

  const main = el(doc, 'div', 'product-main');
  const head = el(doc, 'div', 'product-head');
  // A name may be Latin inside the Arabic page ("TALVEN™ Suite"); its own
  // first letter decides its direction, so the "™" stays where it belongs.
  const name = el(doc, 'h3', 'product-name', { dir: 'auto' });
  const self = el(doc, 'span', 'tag', { 'data-self': '' });
  head.append(name, self);
  const desc = el(doc, 'p', 'product-desc');
  // What is offered and how big it is belong to a package; a product without
  // one for this host has neither.
  const facts = el(doc, 'dl', 'product-facts');
  const installed = fact(doc);
  const available = fact(doc);
  const size = fact(doc);
  facts.append(installed.wrap, available.wrap, size.wrap);
  const notes = el(doc, 'details', 'product-notes');
  const notesTitle = el(doc, 'summary');
  const notesText = el(doc, 'p');
  notes.append(notesTitle, notesText);
  // Where the row's install stands; focus moves here from the buttons that
  // start one, since they leave the row while it runs.
  const status = el(doc, 'div', 'product-status', { tabindex: '-1' });
  const progress = el(doc, 'div', 'product-progress', { 'data-progress': '' });
  const progressText = el(doc, 'span', 'progress-text');
  const bar = el(doc, 'div', 'bar', { role: 'progressbar', 'aria-valuemin': '0', 'aria-valuemax': '100' });
  bar.append(el(doc, 'span', 'bar-fill'));
  progress.append(progressText, bar);
  const outcome = el(doc, 'div', 'product-outcome', { 'data-outcome': '' });
  const outcomeIcon = icon(doc, 'i-check');
  const outcomeText = el(doc, 'span', 'outcome-words');
  const retry = el(doc, 'button', 'btn btn-secondary btn-small', { type: 'button', 'data-retry': '' });
  const startInstall = () => {
    if (app.installProduct(product.id)) status.focus();
  };
  retry.addEventListener('click', startInstall);
  outcome.append(outcomeIcon, outcomeText, retry);
  const details = el(doc, 'details', 'failure-details', { 'data-failure-details': '' });
  const detailsTitle = el(doc, 'summary');
  const detailsCode = el(doc, 'p', 'failure-code');
  const detailsTime = el(doc, 'p');
  const openLog = el(doc, 'button', 'btn-link', { type: 'button', 'data-open-log': '' });
  openLog.addEventListener('click', () => app.openLog());
  details.append(detailsTitle, detailsCode, detailsTime, openLog);
  status.append(progress, outcome, details);
  main.append(head, desc, facts, notes, status);

  const side = el(doc, 'div', 'product-side');
  const badge = el(doc, 'span', 'state-badge', { 'data-state-badge': '' });
  const badgeIcon = icon(doc, 'i-check');
  const badgeText = el(doc, 'span');
  badge.append(badgeIcon, badgeText);
  const install = el(doc, 'button', 'btn btn-primary btn-small', { type: 'button', 'data-install': '' });
  install.addEventListener('click', startInstall);
  // Stands where Install was while the item can still be stopped. The row
  // keeps focus on its status until the stop is confirmed, then hands it to
  // Install, which is back by then (see renderRow).
  const cancel = el(doc, 'button', 'btn btn-secondary btn-small', { type: 'button', 'data-cancel': '' });
  const parts = {};
  cancel.addEventListener('click', () => {
    if (!app.cancelInstall(product.id)) return;
    parts.focusInstall = true;
    status.focus();
  });
  const open = el(doc, 'button', 'btn btn-secondary btn-small', { type: 'button', 'data-open': '' });
  open.addEventListener('click', () => app.openProduct(product.id));
  side.append(badge, install, cancel, open);

  li.append(pick, mark, main, side);
  return Object.assign(parts, {
    li, pick, box, pickText, name, self, desc, facts, installed, available, size, notes, notesTitle, notesText,
    badge, badgeIcon, badgeText, install, cancel, open, status, progress, progressText, bar, outcome, outcomeIcon,
    outcomeText, retry, details, detailsTitle, detailsCode, detailsTime, openLog, focusInstall: false,
  });
}

// The words for where one product's install stands, or null for none.
function progressWords(lang, progress, product) {
  if (!progress) return null;
  if (progress.state === 'ok') {
    const version = isolateLtr(progress.version || product.version);
    return t(lang, product.self ? 'install.okSelf' : 'install.ok', { version });
  }
  if (progress.state === 'failed' || progress.state === 'cancelled') return failureMessage(lang, progress, product.size);
  if (progress.state === 'lost') return t(lang, 'install.lost');
  if (progress.phase === 'download') {
    const pct = formatPct(lang, progress.pct);
    const words = progress.bytes ? t(lang, 'install.downloadBytes', {
      pct, done: formatSize(lang, progress.bytes.done), total: formatSize(lang, progress.bytes.total),
    }) : t(lang, 'install.download', { pct });
    if (progress.resumedAt === null) return words;
    return `${words} · ${t(lang, 'install.resumed', { pct: formatPct(lang, progress.resumedAt) })}`;
  }
  return t(lang, `install.${progress.phase}`);
}

const OUTCOME_ICONS = { ok: 'i-check', failed: 'i-alert', lost: 'i-clock', cancelled: 'i-close' };

function renderProgress(parts, progress, words, lang, name, at, host) {
  const active = progress?.state === 'active';
  parts.progress.hidden = !active;
  parts.outcome.hidden = !progress || active;
  parts.li.dataset.install = progress ? (active ? progress.phase : progress.state) : '';
  if (active) {
    setText(parts.progressText, words);
    parts.progress.dataset.phase = progress.phase;
    // Only the download has a measurable share; the other phases wait on
    // something the page cannot measure and show a moving bar instead.
    const measured = progress.phase === 'download' || progress.phase === 'queued';
    parts.bar.dataset.indeterminate = String(!measured);
    parts.bar.setAttribute('aria-label', t(lang, 'install.status', { name, status: words }));
    if (measured) {
      const pct = Math.round(progress.pct);
      parts.bar.setAttribute('aria-valuenow', String(pct));
      parts.bar.firstElementChild.style.inlineSize = `${progress.pct}%`;
    } else {
      parts.bar.removeAttribute('aria-valuenow');
      parts.bar.firstElementChild.style.inlineSize = '';
    }
  } else if (progress) {
    parts.outcome.dataset.state = progress.state;
    setIcon(parts.outcomeIcon, OUTCOME_ICONS[progress.state]);
    setText(parts.outcomeText, words);
    // A cancelled row offers its own Install or Update again, not a retry.
    parts.retry.hidden = progress.state === 'ok' || progress.state === 'cancelled';
    setText(parts.retry, t(lang, 'install.retry'));
    parts.retry.setAttribute('aria-label', t(lang, 'install.retryName', { name }));
  }
  const failed = progress?.state === 'failed';
  parts.details.hidden = !failed;
  if (failed) {
    setText(parts.detailsTitle, t(lang, 'install.details'));
    const code = t(lang, 'install.detailsCode', { code: `\u2066${progress.reason ?? progress.error}\u2069` });
    setText(parts.detailsCode, host ? `${code} · ${t(lang, 'install.detailsHost', { host: `\u2066${host}\u2069` })}` : code);
    setText(parts.detailsTime, t(lang, 'install.detailsTime', { when: formatWhen(lang, at) }));
    setText(parts.openLog, t(lang, 'install.openLog'));
  } else {
    parts.details.open = false;
  }
  parts.status.hidden = !progress;
}

function renderRow(parts, row, lang, progress, at) {
  const { product } = row;
  const name = product.name[lang] ?? product.name.en;
  parts.li.dataset.state = row.state;

  parts.pick.hidden = !row.selectable;
  renderProgress(parts, progress, progressWords(lang, progress, product), lang, name, at, hostOf(product.url));
  parts.box.disabled = !row.selectable;
  parts.box.checked = row.selected;
  parts.box.setAttribute('aria-label', t(lang, 'product.select', { name }));
  setText(parts.pickText, t(lang, 'product.selectShort'));

  parts.install.hidden = !row.selectable;
  if (row.selectable) {
    const verb = row.state === 'update' ? 'update' : 'install';
    setText(parts.install, t(lang, `product.${verb}`));
    parts.install.setAttribute('aria-label', t(lang, `product.${verb}Name`, { name }));
  }
  parts.cancel.hidden = !progress?.cancellable;
  if (progress?.cancellable) {
    setText(parts.cancel, t(lang, 'install.cancel'));
    parts.cancel.setAttribute('aria-label', t(lang, 'install.cancelName', { name }));
  }
  // A stop the native side refused (the item had just reached the password)
  // ends like any other install; focus moves only if nobody moved it since.
  if (parts.focusInstall && progress?.state !== 'active') {
    parts.focusInstall = false;
    if (parts.li.ownerDocument.activeElement === parts.status && row.selectable) parts.install.focus();
  }

  setText(parts.name, name);
  parts.self.hidden = !product.self;
  setText(parts.self, t(lang, 'product.self'));
  setText(parts.desc, product.description[lang] ?? product.description.en);

  parts.facts.hidden = !row.available;
  if (row.available) {
    setText(parts.installed.term, t(lang, 'product.installed'));
    setText(parts.installed.value, row.installed === null ? t(lang, 'product.notInstalled') : isolateLtr(row.installed));
    setText(parts.available.term, t(lang, 'product.available'));
    setText(parts.available.value, isolateLtr(product.version));
    setText(parts.size.term, t(lang, 'product.size'));
    setText(parts.size.value, formatSize(lang, product.size));
  }

  parts.notes.hidden = !row.available || product.notes === null;
  if (row.available && product.notes) {
    setText(parts.notesTitle, t(lang, 'product.notes', { version: isolateLtr(product.version) }));
    setText(parts.notesText, product.notes[lang] ?? product.notes.en);
  }

  parts.badge.dataset.state = row.state;
  setIcon(parts.badgeIcon, STATE_ICONS[row.state]);
  setText(parts.badgeText, t(lang, `product.state.${row.state}`));

  parts.open.hidden = !row.canOpen;
  setText(parts.open, t(lang, 'product.open'));
  parts.open.setAttribute('aria-label', t(lang, 'product.openName', { name }));
}

const NOTICE_KEYS = { offline: 'offline', unavailable: 'unavailable', outdated: 'outdated' };

// A product this host cannot install has nothing under way to show, even if
// a stray event names it.
const progressOf = (row, installs) => (row.available ? itemProgress(installs.get(row.product.id), row.product.size) : null);

export function mountProducts(app, doc = document) {
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
  const rows = new Map();
  const announcer = createAnnouncer();
  let wakeTimer = null;

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
        setText(live, spoken.join(' '));
        spoken = [];
      }, 0);
    }
    spoken.push(...lines);
  }

  function announce(list, state, lang, summary) {
    const items = list.map((row) => {
      const progress = progressOf(row, state.install.items);
      const name = row.product.name[lang] ?? row.product.name.en;
      return {
        id: row.product.id,
        milestone: milestoneOf(progress),
        line: progress && t(lang, 'install.status', { name, status: progressWords(lang, progress, row.product) }),
      };
    });
    const { lines, wakeIn } = announcer.update(items, summary && { done: summary.done, line: batchText.textContent }, Date.now());
    say(lines);
    clearTimeout(wakeTimer);
    if (wakeIn !== null) wakeTimer = setTimeout(() => render(app.store.get()), wakeIn);
  }

  function renderBatch(summary, lang) {
    batch.hidden = summary === null;
    if (!summary) return;
    const failed = summary.failed - summary.cancelled;
    batch.dataset.state = summary.done ? (failed > 0 ? 'failed' : summary.cancelled > 0 ? 'cancelled' : 'ok') : 'running';
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

  let installs = new Map();

  function renderGroups(list, lang) {
    const wanted = new Set(list.map((row) => row.product.id));
    for (const [id, parts] of rows) {
      if (!wanted.has(id)) {
        parts.li.remove();
        rows.delete(id);
      }
    }
    for (const group of groups) {
      const ul = $('[data-group-list]', group);
      const members = list.filter((row) => row.product.group === group.dataset.group);
      members.forEach((row, index) => {
        let parts = rows.get(row.product.id);
        // A product whose group changed between catalogs gets a fresh row.
        if (parts && parts.li.parentElement !== ul) {
          parts.li.remove();
          parts = null;
        }
        if (!parts) {
          parts = buildRow(doc, row.product, app);
          rows.set(row.product.id, parts);
        }
        renderRow(parts, row, lang, progressOf(row, installs), installs.get(row.product.id)?.at);
        if (ul.children[index] !== parts.li) ul.insertBefore(parts.li, ul.children[index] ?? null);
      });
      $('[data-group-empty]', group).hidden = members.length > 0;
      ul.hidden = members.length === 0;
    }
  }

  function render(state) {
    const lang = langOf(state);
    // Until this page load has checked, the last check of an earlier run
    // (saved in the settings) stands in.
    const lastCheck = lastCheckOf(state.settings);
    const check = state.check.lastAt === null && lastCheck !== null
      ? { ...state.check, lastAt: lastCheck, lastOk: true } : state.check;
    const { state: phase, text } = checkStatus(lang, check, Date.now());
    const running = state.check.running;
    status.dataset.state = phase;
    setText(statusText, text);
    button.setAttribute('aria-busy', String(running));

    const { catalog } = state;
    const list = productRows(state);
    const hasProducts = list.length > 0;
    const installing = state.packages !== '';
    const pending = pendingUpdates(list);

    // What the list holds, said where the check's outcome is announced; after a
    // failed check the list may be an old one, and "up to date" would be a guess.
    headline.hidden = !hasProducts || !installing || Boolean(catalog.error);
    setText(headline, headline.hidden ? '' : updatesHeadline(lang, pending));

    const error = catalog.error;
    notice.hidden = !error;
    if (error) {
      const key = NOTICE_KEYS[error] ?? 'timeout';
      notice.dataset.kind = key;
      setText(noticeTitle, t(lang, `notice.${key}.title`));
      setText(noticeBody, t(lang, `notice.${key}.body`));
      noticeStale.hidden = !hasProducts;
      const saved = catalog.source === 'cache'
        ? t(lang, error === 'offline' ? 'notice.savedOffline' : 'notice.saved', { when: formatWhen(lang, catalog.savedAt) })
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
    installs = state.install.items;
    renderGroups(list, lang);
    const summary = batchSummary(state.install);
    renderBatch(summary, lang);
    announce(list, state, lang, summary);
    const title = windowTitle(lang, batchPosition(summary));
    if (doc.title !== title) doc.title = title;

    toolbar.hidden = !hasProducts || !installing;
    const picked = list.filter((row) => row.selected).length;
    setText(selectedCount, picked > 0 ? t(lang, 'products.selected', { count: picked }) : '');
    installSelected.disabled = picked === 0;
    const updatable = pendingUpdates(list.filter((row) => row.selectable));
    updateAll.disabled = updatable.count === 0;
    setText(updateAllText, updateAllLabel(lang, updatable));
  }

  return render;
}
