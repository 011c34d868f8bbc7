// What the user has against what the catalog offers: each product's installed
// version and state, what may be selected, and the batch an install request
// carries. Pure functions of the app state, shared by the app core and the
// products view.

import { catalogItem, productFor } from './catalog.js';
import { installEvent, isActive } from './install.js';
import { isObject } from './rules.js';
import { STATES, isInstallable, productState } from './version.js';

// Installed versions are kept in a Map by product id, never a plain object,
// where an id such as "constructor" would find a member every object has.
// `leftOut` counts the products beyond the number a catalog may list;
// `savedAt` is when a list shown from the saved copy was checked.
export function emptyCatalog() {
  return {
    products: [],
    installed: new Map(),
    source: null,
    error: null,
    problems: [],
    leftOut: 0,
    savedAt: null,
  };
}

// The running program is installed by definition, even where the scan finds
// no bundle of it (started from a disk image, or a host without application
// bundles): its own version stands in, so it is never offered as "not
// installed" while the user is looking at it.
export function installedVersion(state, product) {
  const found = state.catalog.installed.get(product.id);
  if (typeof found === 'string') return found;
  if (product.self && typeof state.version === 'string' && state.version !== '') return state.version;
  return null;
}

// Rows of products that this host cannot install: none at all where no
// backend fits, or no package of the host's kind for this one.
export const UNOFFERED = Object.freeze({ unsupported: 'unsupported', unavailable: 'unavailable' });
const HELD = 'held';

// Whether the administrator holds the product at a version other than `version`.
const isHeldAway = (state, id, version) => state.policy?.held.has(id) === true && state.policy.held.get(id) !== version;

// One row per catalog product, as this host sees it: `product` carries the
// members of its package of the host's kind, and `available` says whether
// there is one. A product without one is never scanned, selected, installed
// or counted: it only shows its name and description.
export function productRows(state) {
  const selected = new Set(state.selected);
  return state.catalog.products.map((entry) => productRow(state, entry, selected));
}

function productRow(state, entry, selected) {
  const kind = state.packages;
  const product = productFor(entry, kind, state.arch);
  const busy = isActive(state.install.items.get(entry.id));
  if (!product) {
    const status = kind === '' ? UNOFFERED.unsupported : UNOFFERED.unavailable;
    return {
      product: entry,
      available: false,
      installed: null,
      state: status,
      busy,
      selectable: false,
      selected: false,
      canOpen: false,
    };
  }
  const installed = installedVersion(state, product);
  const versionState = productState(installed, product.version, kind);
  // Held by the administrator at another version, it is not offered: the native side would
  // refuse it.
  const status = isInstallable(versionState) && isHeldAway(state, product.id, product.version) ? HELD : versionState;
  // A saved list is shown to tell what there is, not to install from: its
  // packages may have moved on, and without network nothing can come.
  const selectable = isInstallable(status) && !busy && state.catalog.source !== 'cache';
  return {
    product,
    available: true,
    installed,
    state: status,
    busy,
    selectable,
    selected: selectable && selected.has(product.id),
    // Opening finds the product by its application bundles, or on Linux
    // starts its desktop entry; there is nothing to open for the window
    // already in front.
    canOpen:
      product.group === 'app' &&
      !product.self &&
      status !== STATES.missing &&
      (product.detect.apps.length > 0 || product.detect.desktop !== undefined),
  };
}

// productRows for a view that asks after every state change: while the
// catalog, the selection and the host stay the same, the last list comes back,
// and an install event builds anew only the row of a product that started or
// stopped being busy. A download's progress thus costs no walk over thousands
// of products, and a row object that is not new needs no redrawing.
export function createRowsMemo() {
  let last = null;
  return function rows(state) {
    const { catalog, packages, arch, selected, version, install } = state;
    if (
      last?.catalog !== catalog ||
      last.packages !== packages ||
      last.arch !== arch ||
      last.selected !== selected ||
      last.version !== version
    ) {
      const list = productRows(state);
      last = { catalog, packages, arch, selected, version, items: install.items, list, index: null };
      return list;
    }
    if (last.items === install.items) return last.list;
    const flipped = new Set();
    for (const [id, entry] of install.items) if (isActive(entry) !== isActive(last.items.get(id))) flipped.add(id);
    for (const [id, entry] of last.items) if (isActive(entry) && !install.items.has(id)) flipped.add(id);
    last.items = install.items;
    if (flipped.size === 0) return last.list;
    last.index ??= new Map(catalog.products.map((entry, i) => [entry.id, i]));
    const list = [...last.list];
    const chosen = new Set(selected);
    for (const id of flipped) {
      const at = last.index.get(id);
      if (at !== undefined) list[at] = productRow(state, catalog.products[at], chosen);
    }
    last.list = list;
    return list;
  };
}

export const selectedProducts = (state) =>
  productRows(state)
    .filter((row) => row.selected)
    .map((row) => row.product);

// What the header says about the list: how many updates wait and how much
// they download.
export function pendingUpdates(rows) {
  const updates = rows.filter((row) => row.available && row.state === STATES.update);
  return { count: updates.length, bytes: updates.reduce((sum, row) => sum + row.product.size, 0) };
}

// Within its group a product with an update comes first, the others keep the
// catalog's order. Decided once per check, from what the check found: a row
// that finishes updating stays where it is instead of jumping away from the
// user's pointer and focus.
function updatesFirst(state) {
  const waiting = new Set(
    productRows(state)
      .filter((row) => row.state === STATES.update)
      .map((row) => row.product.id),
  );
  const rank = (product) => (waiting.has(product.id) ? 0 : 1);
  const products = [...state.catalog.products].sort((a, b) => rank(a) - rank(b));
  return { ...state, catalog: { ...state.catalog, products } };
}

export const updatableProducts = (state) =>
  productRows(state)
    .filter((row) => row.state === STATES.update && !row.busy)
    .map((row) => row.product);

// The items of one install request. The program itself goes last: its
// successful update relaunches it at once, and the packages after it in the
// same batch would never report their results.
export function installBatch(products) {
  const ordered = [...products.filter((p) => !p.self), ...products.filter((p) => p.self)];
  return ordered.map(catalogItem);
}

// Only products that can still be installed stay selected; after a check a
// product may have become current or left the catalog.
function keepSelectable(state) {
  const allowed = new Set(
    productRows(state)
      .filter((row) => row.selectable)
      .map((row) => row.product.id),
  );
  return state.selected.filter((id) => allowed.has(id));
}

export function withSelection(state, id, on) {
  const others = state.selected.filter((other) => other !== id);
  const next = { ...state, selected: on ? [...others, id] : others };
  return { ...next, selected: keepSelectable(next) };
}

export function withoutSelection(state) {
  return state.selected.length === 0 ? state : { ...state, selected: [] };
}

const keepingSelection = (state) => ({ ...state, selected: keepSelectable(state) });

function listFrom(outcome, source, error) {
  return {
    products: outcome.products,
    installed: outcome.installed instanceof Map ? new Map(outcome.installed) : new Map(),
    source,
    error,
    problems: Array.isArray(outcome.problems) ? [...outcome.problems] : [],
    leftOut: Number.isSafeInteger(outcome.leftOut) && outcome.leftOut > 0 ? outcome.leftOut : 0,
    savedAt: source === 'cache' ? outcome.savedAt : null,
  };
}

// Whether the list on screen came from a check of this page: the saved copy
// only stands in until one has.
export const showsCheckedList = (state) => state.catalog.products.length > 0 && state.catalog.source !== 'cache';

// The saved list (`saved`: { products, installed, savedAt, leftOut }) in place
// of anything but a checked list: shown at once while a start's check is on
// its way, so that opening the window shows the user's products without
// waiting on the network, and again after a failed check, with `error`.
export function withSavedListShown(state, saved, error = null) {
  if (showsCheckedList(state) || !isObject(saved) || !Array.isArray(saved.products)) return state;
  return keepingSelection(updatesFirst({ ...state, catalog: listFrom(saved, 'cache', error) }));
}

// A check's outcome. A success replaces products and installed versions; a
// failure keeps what was shown and records why, so the view can explain the
// old list and offer a retry. Until a check has succeeded (a start without
// network), a failure brings the list saved by the last good check instead,
// with a fresh scan.
// A result without products (a check stood in by a caller) changes nothing
// but the error.
export function applyCheckResult(state, result) {
  const outcome = isObject(result) ? result : { ok: false };
  if (outcome.ok === true && Array.isArray(outcome.products)) {
    const source = outcome.source === 'sample' ? 'sample' : 'live';
    return keepingSelection(updatesFirst({ ...state, catalog: listFrom(outcome, source, null) }));
  }
  const error = outcome.ok === true ? null : typeof outcome.error === 'string' ? outcome.error : 'failed';
  const saved = outcome.ok === true ? state : withSavedListShown(state, outcome.saved, error);
  return saved !== state ? saved : keepingSelection({ ...state, catalog: { ...state.catalog, error } });
}

// An install event, and for a success the version now installed: the row
// turns "up to date" without waiting for the next scan.
export function withInstallEvent(state, event, now) {
  const install = installEvent(state.install, event, now);
  if (install === state.install) return state;
  const next = { ...state, install };
  if (event.type !== 'result' || event.ok !== true) return next;
  const entry = state.catalog.products.find((p) => p.id === event.id);
  const product = entry && productFor(entry, state.packages, state.arch);
  if (!product) return next;
  const version = typeof event.version === 'string' && event.version !== '' ? event.version : product.version;
  const catalog = { ...state.catalog, installed: new Map(state.catalog.installed).set(event.id, version) };
  return { ...next, catalog, selected: state.selected.filter((id) => id !== event.id) };
}
