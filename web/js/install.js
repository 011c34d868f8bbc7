// What the page knows about installs: one entry per product that was asked
// for, fed by the native "progress" and "result" events, and the batch those
// entries belong to. Pure functions of plain data, so every order of events
// can be played through them without a window.
//
// The bridge promises nothing about order or arrival: a late download report
// can follow the verification, a result can come for a product this page
// never asked for (a hand-off finishing after a reload), and in demo mode or
// after a crash nothing may come at all. So an entry only moves forward, a
// result is final until the user asks again, and silence for too long turns
// an entry into "lost" with a retry instead of a bar that spins forever.
//
// Entries are kept in a Map by product id: in a plain object an id such as
// "constructor" would find a member every object inherits, and show a
// product as busy that nobody asked for.

import { isObject } from './rules.js';

export const PHASES = Object.freeze(['queued', 'download', 'verify', 'password', 'install', 'installer']);
// "running": held back before anything was downloaded, since the product is
// open; the user closes it and tries again, or installs anyway.
export const ERRORS = Object.freeze(['download', 'check', 'install', 'cancelled', 'running']);
// Why an item failed, when the native side could tell: a code for the
// transfer or the check that went wrong, or "http-" and the status code.
// "cancelled" is the user's own stop, unlike the "cancelled" error alone (the
// administrator password was not given).
export const REASONS = Object.freeze([
  'offline',
  'dns',
  'tls',
  'timeout',
  'redirect',
  'space',
  'refused',
  'digest',
  'size',
  'signature',
  'cancelled',
  'dependency',
  'conflict',
  'architecture',
  'install',
  'policy',
]);
// Longest "detail" (what is missing or in the way, or the installer's own line) kept from a result.
const MAX_DETAIL = 300;
export const isReason = (value) =>
  REASONS.includes(value) || (typeof value === 'string' && /^http-[1-5]\d\d$/.test(value));
const RANK = Object.fromEntries(PHASES.map((phase, index) => [phase, index]));
// Up to here the native side can still stop an item; from the password on it
// belongs to the package system, which is not interrupted half-way.
const CANCELLABLE = Object.freeze(['queued', 'download', 'verify']);

// How long each phase may go without a word before the page stops waiting.
// A download reports at least every few seconds, and the native side gives
// up on a stalled one long before two minutes; password and installer wait
// for the person at the machine and may take as long as they like.
export const QUIET_LIMIT_MS = Object.freeze({
  queued: 120_000,
  download: 120_000,
  verify: 120_000,
  password: null,
  install: 30 * 60_000,
  installer: null,
});

// Share of an item's bar that each phase stands for; the download fills most
// of it because that is where the waiting is.
const PHASE_SHARE = { queued: 0, verify: 0.75, password: 0.8, install: 0.9, installer: 0.9 };
const DOWNLOAD_SHARE = 0.7;

const clampPct = (pct) => (Number.isFinite(pct) ? Math.min(100, Math.max(0, pct)) : 0);

export function emptyInstall() {
  return { items: new Map(), batch: [], heardAt: null };
}

export const isFinished = (entry) => Boolean(entry && (entry.result || entry.lost));
export const isActive = (entry) => Boolean(entry) && !isFinished(entry);
export const isCancellable = (entry) => isActive(entry) && CANCELLABLE.includes(entry.phase);
// With the desktop's installer, the native side waits for the package to
// show; only the user can tell it that nothing will come.
export const isWaitingForInstaller = (entry) => isActive(entry) && entry.phase === 'installer';
const isCancelled = (entry) => entry?.result?.reason === 'cancelled';
const isOpenEntry = (entry) => entry?.result?.error === 'running';

// The products held back because they were open, to look at again when the
// user comes back to the window.
export function openIds(install) {
  return [...install.items].filter(([, entry]) => isOpenEntry(entry)).map(([id]) => id);
}

export function activeIds(install) {
  return [...install.items].filter(([, entry]) => isActive(entry)).map(([id]) => id);
}

const batchDone = (install) => install.batch.every((id) => isFinished(install.items.get(id)));

// Ids join the running batch, or start a new one once the last has ended:
// the native side adds a second request to the queue it is working on.
function joinBatch(install, ids) {
  const base = batchDone(install) ? [] : install.batch;
  const known = new Set(base);
  return [...base, ...ids.filter((id) => !known.has(id))];
}

// The user asked for `ids`: each starts again from "queued", whatever its
// last outcome was. Ids still on their way are left alone.
export function installRequested(install, ids, now) {
  const fresh = ids.filter((id) => typeof id === 'string' && !isActive(install.items.get(id)));
  if (fresh.length === 0) return install;
  const items = new Map(install.items);
  for (const id of fresh) items.set(id, { phase: 'queued', pct: 0, at: now, result: null, lost: false });
  return { items, batch: joinBatch(install, fresh), heardAt: now };
}

// `resumedAt`: where a download went on from bytes an earlier attempt kept.
function progressed(entry, phase, pct, resumedAt, now) {
  const resumed = phase === 'download' && Number.isFinite(resumedAt) ? { resumedAt: clampPct(resumedAt) } : {};
  if (!entry) return { phase, pct: phase === 'download' ? pct : 100, at: now, result: null, lost: false, ...resumed };
  // A result stands until the user asks again; anything after it is stale.
  if (entry.result) return entry;
  if (RANK[phase] < RANK[entry.phase]) return entry;
  // Within the install phase a native side that tells it says how far each package is: 0 while
  // it waits for its turn in the run.
  const counted = phase === 'download' || phase === 'install';
  const next = phase === entry.phase && counted ? Math.max(entry.pct, pct) : counted ? pct : 100;
  return { ...entry, phase, pct: next, at: now, lost: false, ...resumed };
}

function finished(entry, event, now) {
  const result =
    event.ok === true
      ? { ok: true, version: typeof event.version === 'string' ? event.version : '' }
      : {
          ok: false,
          error: ERRORS.includes(event.error) ? event.error : 'unknown',
          ...(isReason(event.reason) ? { reason: event.reason } : {}),
          ...(isReason(event.reason) && typeof event.detail === 'string' && event.detail !== ''
            ? { detail: event.detail.slice(0, MAX_DETAIL) }
            : {}),
          // A download stopped by the user keeps what it had for the next install.
          ...(event.reason === 'cancelled' ? { kept: entry?.phase === 'download' && entry.pct > 0 } : {}),
        };
  return { phase: entry?.phase ?? 'queued', pct: entry?.pct ?? 0, at: now, result, lost: false };
}

// One native event. Anything that is not a well-formed "progress" or
// "result" for a string id, or the automatic update's "ready", leaves the
// state as it was.
export function installEvent(install, event, now) {
  if (isObject(event) && event.type === 'autoUpdate' && event.state === 'ready' && Array.isArray(event.ids)) {
    return withoutItems(install, event.ids);
  }
  if (!isObject(event) || typeof event.id !== 'string') return install;
  const { id } = event;
  const entry = install.items.get(id);
  let next;
  if (event.type === 'progress') {
    if (!Object.hasOwn(RANK, event.phase) || event.phase === 'queued') return install;
    next = progressed(entry, event.phase, clampPct(event.pct), event.resumedAt, now);
  } else if (event.type === 'result') {
    // One request, one result: a repeated or late second one changes nothing.
    if (entry?.result) return install;
    next = finished(entry, event, now);
  } else {
    return install;
  }
  const batch = install.batch.includes(id) ? install.batch : joinBatch(install, [id]);
  return { items: new Map(install.items).set(id, next), batch, heardAt: now };
}

// Entries whose phase has been quiet for longer than it may be become
// "lost". Silence is measured against the whole batch: a product queued
// behind a long download hears nothing of its own while the other is busy.
export function installStalled(install, now, limits = QUIET_LIMIT_MS) {
  if (install.heardAt === null) return install;
  let items = null;
  for (const id of install.batch) {
    const entry = install.items.get(id);
    if (!isActive(entry)) continue;
    const limit = limits[entry.phase];
    if (limit == null || now - install.heardAt <= limit) continue;
    items ??= new Map(install.items);
    items.set(id, { ...entry, lost: true });
  }
  return items ? { ...install, items } : install;
}

// What one product's progress line says: the phase, how far, and for the
// download how many bytes of `size`.
export function itemProgress(entry, size) {
  if (!entry) return null;
  if (entry.result) {
    const state = entry.result.ok ? 'ok' : isCancelled(entry) ? 'cancelled' : isOpenEntry(entry) ? 'open' : 'failed';
    return { state, ...entry.result };
  }
  if (entry.lost) return { state: 'lost' };
  const downloading = entry.phase === 'download';
  const bytes =
    downloading && Number.isFinite(size) && size > 0
      ? { done: Math.round((size * entry.pct) / 100), total: size }
      : null;
  const resumedAt = downloading ? (entry.resumedAt ?? null) : null;
  return {
    state: 'active',
    phase: entry.phase,
    pct: entry.pct,
    bytes,
    resumedAt,
    cancellable: isCancellable(entry),
    stoppable: isWaitingForInstaller(entry),
  };
}

function share(entry) {
  if (isFinished(entry)) return 1;
  if (entry.phase === 'download') return (entry.pct / 100) * DOWNLOAD_SHARE;
  return PHASE_SHARE[entry.phase] ?? 0;
}

// The overall bar: every product counts the same, finished ones fully.
// Cancelled products count among the failed (they were not installed), and
// on their own, since "Retry failed" leaves them alone; `cancellable` and
// `installing` say whether the batch can still be stopped, and whether part
// of it no longer can.
export function batchSummary(install) {
  const entries = install.batch.map((id) => install.items.get(id)).filter(Boolean);
  if (entries.length === 0) return null;
  const count = (test) => entries.filter(test).length;
  const summary = {
    total: entries.length,
    ok: count((e) => e.result?.ok === true),
    failed: count((e) => (e.result && !e.result.ok) || (!e.result && e.lost)),
    active: count(isActive),
    cancelled: count(isCancelled),
    cancellable: count(isCancellable),
    installing: count((e) => isActive(e) && !isCancellable(e)),
    fraction: entries.reduce((sum, e) => sum + share(e), 0) / entries.length,
  };
  summary.done = summary.active === 0;
  return summary;
}

// The batch's items that did not install, in batch order, for one retry; not
// those the user cancelled.
export function failedIds(install) {
  return install.batch.filter((id) => {
    const entry = install.items.get(id);
    return (
      Boolean(entry) && !isCancelled(entry) && ((entry.result && !entry.result.ok) || (!entry.result && entry.lost))
    );
  });
}

// The batch's items that can still be stopped, in batch order.
export function cancellableIds(install) {
  return install.batch.filter((id) => isCancellable(install.items.get(id)));
}

// Which item of a running batch is being worked on: the first not finished,
// counted from 1; null once the batch is done.
export function batchPosition(summary) {
  if (!summary || summary.done) return null;
  return { current: Math.min(summary.total, summary.total - summary.active + 1), total: summary.total };
}

// Closing the finished batch forgets every outcome, also those of earlier
// batches still on show; rows go back to their plain state. A running batch
// cannot be closed.
export function dismissBatch(install) {
  if (!batchDone(install)) return install;
  const items = new Map([...install.items].filter(([, entry]) => isActive(entry)));
  return { ...install, items, batch: [] };
}

// Items the native side only made ready (downloaded and verified for the
// user's later install): their rows go back to their plain state.
function withoutItems(install, ids) {
  const gone = new Set(ids);
  const items = new Map([...install.items].filter(([id, entry]) => !gone.has(id) || isFinished(entry)));
  return { ...install, items, batch: install.batch.filter((id) => items.has(id)) };
}
