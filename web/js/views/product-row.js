// One product row of the products view: its elements, built once while the
// row is drawn, and how a row of the inventory and its install progress are
// written into them. No listeners here: the list answers its rows' buttons
// with one listener of its own. Every catalog text goes in as text, never as
// markup: the catalog is remote data.

import { productName } from '../catalog.js';
import { setLabel, setText } from '../dom.js';
import { formatPct, formatSize, formatWhen, t } from '../i18n.js';
import { itemProgress } from '../install.js';
import { failureCause, failureMessage, hostOf } from '../messages.js';
import { isolateLtr } from '../rules.js';

const SVG = 'http://www.w3.org/2000/svg';

const STATE_ICONS = {
  missing: 'i-plus',
  update: 'i-update',
  current: 'i-check',
  unavailable: 'i-close',
  unsupported: 'i-close',
  held: 'i-close',
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

// "What's new" and "Details": a button that says whether its part is open, and
// the part. Not <details>: WebKit gives its <summary> neither a button's role
// nor an expanded state, so a screen reader hears a bare word.
function disclosure(doc, className, attrs = {}) {
  const wrap = el(doc, 'div', className, attrs);
  const toggle = el(doc, 'button', 'disclosure', { type: 'button', 'aria-expanded': 'false', 'data-disclosure': '' });
  const body = el(doc, 'div', 'disclosure-body');
  body.hidden = true;
  wrap.append(toggle, body);
  return { wrap, toggle, body };
}

export const isOpen = (wrap) => wrap.firstElementChild.getAttribute('aria-expanded') === 'true';

export function setOpen(wrap, open) {
  if (isOpen(wrap) !== open) wrap.firstElementChild.setAttribute('aria-expanded', String(open));
  wrap.children[1].hidden = !open;
}

function fact(doc) {
  const wrap = el(doc, 'div', 'fact');
  const term = el(doc, 'dt');
  const value = el(doc, 'dd');
  wrap.append(term, value);
  return { wrap, term, value };
}

// One row's elements, built once per product id.
export function buildRow(doc, product) {
  const li = el(doc, 'li', 'product', { 'data-product': product.id });

  // The tick adds the product to a batch; its visible word says so.
  const pick = el(doc, 'label', 'product-pick');
  const box = el(doc, 'input', 'check', { type: 'checkbox', 'data-select': '' });
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
  const notes = disclosure(doc, 'product-notes');
  const notesText = el(doc, 'p');
  notes.body.append(notesText);
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
  // Only while the product is open: installs over it.
  const anyway = el(doc, 'button', 'btn btn-secondary btn-small', { type: 'button', 'data-anyway': '' });
  outcome.append(outcomeIcon, outcomeText, retry, anyway);
  const details = disclosure(doc, 'failure-details', { 'data-failure-details': '' });
  const detailsCode = el(doc, 'p', 'failure-code');
  const detailsHost = el(doc, 'p');
  const detailsTime = el(doc, 'p');
  const openLog = el(doc, 'button', 'btn-link', { type: 'button', 'data-open-log': '' });
  details.body.append(detailsCode, detailsHost, detailsTime, openLog);
  status.append(progress, outcome, details.wrap);
  main.append(head, desc, facts, notes.wrap, status);

  const side = el(doc, 'div', 'product-side');
  const badge = el(doc, 'span', 'state-badge', { 'data-state-badge': '' });
  const badgeIcon = icon(doc, 'i-check');
  const badgeText = el(doc, 'span');
  badge.append(badgeIcon, badgeText);
  const install = el(doc, 'button', 'btn btn-primary btn-small', { type: 'button', 'data-install': '' });
  // Stands where Install was while the item can still be stopped. The row
  // keeps focus on its status until the stop is confirmed, then hands it to
  // Install, which is back by then (see renderRow).
  const cancel = el(doc, 'button', 'btn btn-secondary btn-small', { type: 'button', 'data-cancel': '' });
  const stopWaiting = el(doc, 'button', 'btn btn-secondary btn-small', { type: 'button', 'data-stop-waiting': '' });
  const open = el(doc, 'button', 'btn btn-secondary btn-small', { type: 'button', 'data-open': '' });
  side.append(badge, install, cancel, stopWaiting, open);

  li.append(pick, mark, main, side);
  return {
    li,
    pick,
    box,
    pickText,
    mark,
    name,
    self,
    desc,
    facts,
    installed,
    available,
    size,
    notes: notes.wrap,
    notesTitle: notes.toggle,
    notesText,
    badge,
    badgeIcon,
    badgeText,
    install,
    cancel,
    stopWaiting,
    open,
    status,
    progress,
    progressText,
    bar,
    outcome,
    outcomeIcon,
    outcomeText,
    retry,
    anyway,
    details: details.wrap,
    detailsTitle: details.toggle,
    detailsCode,
    detailsHost,
    detailsTime,
    openLog,
    focusInstall: false,
    shown: null,
  };
}

// A row's elements taken over for another product: while a long list
// scrolls, the rows that leave the window are drawn again for those that come
// into it instead of being built anew (built anew, a scroll through 10,000
// products left the page hundreds of megabytes of elements to collect). What
// the user opened in the row before closes.
export function reuseRow(parts, product) {
  parts.li.dataset.product = product.id;
  setIcon(parts.mark.firstElementChild, GROUP_ICONS[product.group] ?? 'i-app');
  setOpen(parts.notes, false);
  setOpen(parts.details, false);
  parts.focusInstall = false;
  parts.shown = null;
  return parts;
}

// The words for where one product's install stands, or null for none.
export function progressWords(lang, progress, product) {
  if (!progress) return null;
  if (progress.state === 'ok') {
    const version = isolateLtr(progress.version || product.version);
    return t(lang, product.self ? 'install.okSelf' : 'install.ok', { version });
  }
  if (progress.state === 'failed' || progress.state === 'cancelled')
    return failureMessage(lang, progress, product.size);
  if (progress.state === 'lost') return t(lang, 'install.lost');
  if (progress.state === 'open') return t(lang, 'install.open', { name: productName(product, lang) });
  if (progress.phase === 'download') {
    const pct = formatPct(lang, progress.pct);
    const words = progress.bytes
      ? t(lang, 'install.downloadBytes', {
          pct,
          done: formatSize(lang, progress.bytes.done),
          total: formatSize(lang, progress.bytes.total),
        })
      : t(lang, 'install.download', { pct });
    if (progress.resumedAt === null) return words;
    return `${words} · ${t(lang, 'install.resumed', { pct: formatPct(lang, progress.resumedAt) })}`;
  }
  if (progress.phase === 'install' && progress.pct === 0) return t(lang, 'install.installWaiting');
  return t(lang, `install.${progress.phase}`);
}

const OUTCOME_ICONS = { ok: 'i-check', failed: 'i-alert', lost: 'i-clock', cancelled: 'i-close', open: 'i-alert' };

function renderProgress(parts, progress, words, lang, name, at, host) {
  const active = progress?.state === 'active';
  parts.progress.hidden = !active;
  parts.outcome.hidden = !progress || active;
  parts.li.dataset.install = progress ? (active ? progress.phase : progress.state) : '';
  if (active) {
    setText(parts.progressText, words);
    parts.progress.dataset.phase = progress.phase;
    // Only the download has a measurable share; the other phases wait on
    // something the page cannot measure and show a full, dimmed bar instead.
    // Such a bar has no value at all: WebKit reads a bar without aria-valuenow
    // as half way between its bounds, so the bounds go with it.
    const measured = progress.phase === 'download' || progress.phase === 'queued';
    parts.bar.dataset.indeterminate = String(!measured);
    setLabel(parts.bar, t(lang, 'install.status', { name, status: words }));
    if (measured) {
      const pct = Math.round(progress.pct);
      parts.bar.setAttribute('aria-valuemin', '0');
      parts.bar.setAttribute('aria-valuemax', '100');
      parts.bar.setAttribute('aria-valuenow', String(pct));
      parts.bar.firstElementChild.style.inlineSize = `${progress.pct}%`;
    } else {
      for (const bound of ['aria-valuenow', 'aria-valuemin', 'aria-valuemax']) parts.bar.removeAttribute(bound);
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
  const open = progress?.state === 'open';
  parts.anyway.hidden = !open;
  if (open) {
    setText(parts.anyway, t(lang, 'install.anyway'));
    parts.anyway.setAttribute('aria-label', t(lang, 'install.anywayName', { name }));
  }
  const failed = progress?.state === 'failed';
  parts.details.hidden = !failed;
  if (failed) {
    // The bridge's word for the reason is for the log and for support; the
    // user reads what it means.
    parts.details.dataset.reason = progress.reason ?? progress.error;
    setText(parts.detailsTitle, t(lang, 'install.details'));
    setText(parts.detailsCode, failureCause(lang, progress));
    parts.detailsHost.hidden = !host;
    setText(parts.detailsHost, host ? t(lang, 'install.detailsHost', { host: isolateLtr(host) }) : '');
    setText(parts.detailsTime, t(lang, 'install.detailsTime', { when: formatWhen(lang, at) }));
    setText(parts.openLog, t(lang, 'install.openLog'));
  } else {
    setOpen(parts.details, false);
  }
  parts.status.hidden = !progress;
}

export function renderRow(parts, row, lang, progress, at) {
  const { product } = row;
  const name = productName(product, lang);
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
  parts.stopWaiting.hidden = !progress?.stoppable;
  if (progress?.stoppable) {
    setText(parts.stopWaiting, t(lang, 'install.stopWaiting'));
    parts.stopWaiting.setAttribute('aria-label', t(lang, 'install.stopWaitingName', { name }));
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
    setText(
      parts.installed.value,
      row.installed === null ? t(lang, 'product.notInstalled') : isolateLtr(row.installed),
    );
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

// A product this host cannot install has nothing under way to show, even if
// a stray event names it.
export const progressOf = (row, installs) =>
  row.available ? itemProgress(installs.get(row.product.id), row.product.size) : null;
