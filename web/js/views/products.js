// Products view: the check button and its status line, the outcome of the
// last check (loading, empty, offline or failed, with a retry), the install
// buttons, and the two product groups with one row per catalog product.
//
// Rows are kept per product id and updated in place, so a tick or a new scan
// never rebuilds the list under the user's pointer or keyboard focus. Every
// catalog text goes in as text, never as markup: the catalog is remote data.

import { $, $$, setText } from '../dom.js';
import { checkStatus } from '../check.js';
import { formatSize, t } from '../i18n.js';
import { productRows } from '../inventory.js';
import { langOf } from '../state.js';

const SVG = 'http://www.w3.org/2000/svg';

// Versions are Latin text inside possibly Arabic sentences; isolated, "1.2.0"
// never gets reordered by the surrounding direction.
const isolateLtr = (text) => `\u2066${text}\u2069`;

const STATE_ICONS = { missing: 'i-plus', update: 'i-update', current: 'i-check' };
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

  const pick = el(doc, 'span', 'product-pick');
  const box = el(doc, 'input', 'check', { type: 'checkbox', 'data-select': '' });
  box.addEventListener('change', () => app.setSelected(product.id, box.checked));
  pick.append(box);

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
  const facts = el(doc, 'dl', 'product-facts');
  const installed = fact(doc);
  const available = fact(doc);
  const size = fact(doc);
  facts.append(installed.wrap, available.wrap, size.wrap);
  const notes = el(doc, 'details', 'product-notes');
  const notesTitle = el(doc, 'summary');
  const notesText = el(doc, 'p');
  notes.append(notesTitle, notesText);
  main.append(head, desc, facts, notes);

  const side = el(doc, 'div', 'product-side');
  const badge = el(doc, 'span', 'state-badge', { 'data-state-badge': '' });
  const badgeIcon = icon(doc, 'i-check');
  const badgeText = el(doc, 'span');
  badge.append(badgeIcon, badgeText);
  const open = el(doc, 'button', 'btn btn-secondary btn-small', { type: 'button', 'data-open': '' });
  open.addEventListener('click', () => app.openProduct(product.id));
  side.append(badge, open);

  li.append(pick, mark, main, side);
  return {
    li, box, name, self, desc, installed, available, size, notes, notesTitle, notesText,
    badge, badgeIcon, badgeText, open,
  };
}

function renderRow(parts, row, lang) {
  const { product } = row;
  const name = product.name[lang] ?? product.name.en;
  parts.li.dataset.state = row.state;

  parts.box.hidden = !row.selectable;
  parts.box.disabled = !row.selectable;
  parts.box.checked = row.selected;
  parts.box.setAttribute('aria-label', t(lang, 'product.select', { name }));

  setText(parts.name, name);
  parts.self.hidden = !product.self;
  setText(parts.self, t(lang, 'product.self'));
  setText(parts.desc, product.description[lang] ?? product.description.en);

  setText(parts.installed.term, t(lang, 'product.installed'));
  setText(parts.installed.value, row.installed === null ? t(lang, 'product.notInstalled') : isolateLtr(row.installed));
  setText(parts.available.term, t(lang, 'product.available'));
  setText(parts.available.value, isolateLtr(product.version));
  setText(parts.size.term, t(lang, 'product.size'));
  setText(parts.size.value, formatSize(lang, product.size));

  parts.notes.hidden = product.notes === null;
  if (product.notes) {
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

const NOTICE_KEYS = { offline: 'offline', unavailable: 'unavailable' };

export function mountProducts(app, doc = document) {
  const panel = $('[data-panel="products"]', doc);
  const button = $('[data-action="check"]', panel);
  const status = $('[data-check-status]', panel);
  const statusText = $('[data-check-text]', status);

  const notice = $('[data-catalog-notice]', panel);
  const noticeTitle = $('[data-notice-title]', notice);
  const noticeBody = $('[data-notice-body]', notice);
  const noticeStale = $('[data-notice-stale]', notice);
  const retry = $('[data-action="retry"]', notice);
  const sample = $('[data-sample-notice]', panel);
  const loading = $('[data-products-loading]', panel);
  const none = $('[data-products-none]', panel);

  const toolbar = $('[data-product-toolbar]', panel);
  const selectedCount = $('[data-selected-count]', toolbar);
  const installSelected = $('[data-action="install-selected"]', toolbar);
  const updateAll = $('[data-action="update-all"]', toolbar);
  const updateAllText = $('[data-update-all-text]', updateAll);

  const groups = $$('[data-group]', panel);
  const rows = new Map();

  button.addEventListener('click', () => app.checkForUpdates());
  retry.addEventListener('click', () => app.checkForUpdates());
  installSelected.addEventListener('click', () => app.installSelected());
  updateAll.addEventListener('click', () => app.updateAll());

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
        renderRow(parts, row, lang);
        if (ul.children[index] !== parts.li) ul.insertBefore(parts.li, ul.children[index] ?? null);
      });
      $('[data-group-empty]', group).hidden = members.length > 0;
      ul.hidden = members.length === 0;
    }
  }

  return function render(state) {
    const lang = langOf(state);
    const { state: phase, text } = checkStatus(lang, state.check, Date.now());
    const running = state.check.running;
    status.dataset.state = phase;
    setText(statusText, text);
    button.setAttribute('aria-busy', String(running));

    const { catalog } = state;
    const list = productRows(state);
    const hasProducts = list.length > 0;

    const error = catalog.error;
    notice.hidden = !error;
    if (error) {
      const key = NOTICE_KEYS[error] ?? 'timeout';
      notice.dataset.kind = key;
      setText(noticeTitle, t(lang, `notice.${key}.title`));
      setText(noticeBody, t(lang, `notice.${key}.body`));
      noticeStale.hidden = !hasProducts;
      retry.disabled = running;
      retry.setAttribute('aria-busy', String(running));
    }
    sample.hidden = catalog.source !== 'sample';

    // Without products, the space says why: still looking, nothing offered,
    // or (before any check) the groups with their own empty texts.
    loading.hidden = hasProducts || !running || Boolean(error);
    none.hidden = hasProducts || running || error !== null || catalog.source === null;
    const showGroups = hasProducts || (!running && !error && catalog.source === null);
    for (const group of groups) group.hidden = !showGroups;
    renderGroups(list, lang);

    toolbar.hidden = !hasProducts;
    const picked = list.filter((row) => row.selected).length;
    const updates = list.filter((row) => row.state === 'update').length;
    setText(selectedCount, picked > 0 ? t(lang, 'products.selected', { count: picked }) : '');
    installSelected.disabled = picked === 0 || state.installing;
    updateAll.disabled = updates === 0 || state.installing;
    setText(updateAllText, t(lang, 'products.updateAll', { count: updates }));
  };
}
