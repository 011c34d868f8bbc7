// When to check for updates by itself, and when to tell the user about what
// a check found while they were not looking.
//
// The choice lives in the settings as "autoCheck"; the time of the last
// successful check as "lastCheck" (milliseconds since the epoch), so that a
// program started at login knows whether today's check has already happened.

import { isObject } from './rules.js';

export const AUTO_CHECK = Object.freeze({ off: null, daily: 24 * 3_600_000, weekly: 7 * 24 * 3_600_000 });
export const AUTO_CHOICES = Object.freeze(Object.keys(AUTO_CHECK));
const DEFAULT_CHOICE = 'daily';

// A check that failed (offline, server down) is tried again sooner than the
// next regular one, but not so often that a laptop without network keeps
// waking for nothing.
export const RETRY_AFTER_FAILURE_MS = 30 * 60_000;

export function autoCheckChoice(settings) {
  const choice = isObject(settings) ? settings.autoCheck : undefined;
  return Object.hasOwn(AUTO_CHECK, choice) ? choice : DEFAULT_CHOICE;
}

export function lastCheckOf(settings) {
  const at = isObject(settings) ? settings.lastCheck : undefined;
  return Number.isFinite(at) && at > 0 ? at : null;
}

// → the time the next automatic check is due, or null when there is none.
// `check` is the checker's status: the last attempt and whether it worked.
export function nextCheckAt(settings, check) {
  const every = AUTO_CHECK[autoCheckChoice(settings)];
  if (every === null) return null;
  const lastOk = lastCheckOf(settings);
  const regular = lastOk === null ? 0 : lastOk + every;
  if (check?.lastAt != null && check.lastOk === false) {
    return Math.max(regular, check.lastAt + Math.min(every, RETRY_AFTER_FAILURE_MS));
  }
  return regular;
}

export function isCheckDue(settings, check, now) {
  if (check?.running) return false;
  const at = nextCheckAt(settings, check);
  if (at === null) return false;
  // A clock set back (or a "lastCheck" from the future) must not silence the
  // schedule for years.
  const lastOk = lastCheckOf(settings);
  if (lastOk !== null && lastOk > now) return true;
  return now >= at;
}

// The updates worth a notification: those not announced before. Keys carry
// the version, so a newer release of the same product is news again.
export function newUpdates(products, announced) {
  return products.filter((p) => !announced.has(`${p.id}@${p.version}`));
}

export const announceKeys = (products) => products.map((p) => `${p.id}@${p.version}`);
