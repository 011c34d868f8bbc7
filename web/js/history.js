// The install history as the page shows it: the native side's entries, read
// with the same care as any event, and the words each one is told in.

import { productFor, productName } from './catalog.js';
import { formatWhen, t } from './i18n.js';
import { failureMessage } from './messages.js';
import { isObject, isolateLtr } from './rules.js';

export const RESULTS = Object.freeze(['installed', 'updated', 'failed', 'cancelled', 'restored']);

const text = (value) => (typeof value === 'string' ? value : '');

// The entries of a "history" event in the order the native side gave them
// (newest first); an entry without an id, a known result or a time is left out.
export function historyEntries(event) {
  const list = Array.isArray(event?.entries) ? event.entries : [];
  return list
    .filter((e) => isObject(e) && text(e.id) !== '' && RESULTS.includes(e.result) && Number.isFinite(e.time))
    .map((e) => ({
      time: e.time,
      id: e.id,
      from: text(e.from),
      to: text(e.to),
      kind: text(e.kind),
      result: e.result,
      error: text(e.error),
      reason: text(e.reason),
      detail: text(e.detail),
    }));
}

// The version each product can go back to, from a "history" event's
// "restorable" ({id: version}), as a Map so no id finds an inherited member.
export function restorableVersions(event) {
  const given = isObject(event?.restorable) ? event.restorable : {};
  return new Map(
    Object.entries(given).filter(([id, version]) => id !== '' && typeof version === 'string' && version !== ''),
  );
}

// What one entry says: the product's name as the catalog gives it (its id
// when the catalog no longer lists it), what happened to which versions, why
// it did not happen, and when.
export function historyWords(lang, entry, products, now = Date.now()) {
  const product = products.find((p) => p.id === entry.id);
  const name = product ? productName(product, lang) : entry.id;
  const to = isolateLtr(entry.to || '?');
  const versions = entry.from ? t(lang, 'history.versions', { from: isolateLtr(entry.from), to }) : to;
  const result = t(lang, `history.result.${entry.result}`);
  const failed = entry.result === 'failed' || entry.result === 'cancelled';
  const size = (product && productFor(product, entry.kind)?.size) || 0;
  return {
    name,
    summary: t(lang, 'history.summary', { result, versions }),
    reason: failed ? failureMessage(lang, entry, size) : '',
    when: formatWhen(lang, entry.time * 1000, now),
    iso: new Date(entry.time * 1000).toISOString(),
  };
}
