// The sentences the products view builds from the list and the installs, in
// the interface language: what a check found, why an item failed, and where
// a batch stands for the window title.

import { formatSize, t } from './i18n.js';
import { ERRORS, isReason } from './install.js';
import { isolateLtr } from './rules.js';

// Reasons the system's installer gives, each with what it names when it names something.
const INSTALLER_REASONS = new Set(['dependency', 'conflict', 'architecture', 'install']);

// "2 updates available · 45.3 MB", or that nothing waits.
export function updatesHeadline(lang, { count, bytes }) {
  if (count === 0) return t(lang, 'products.upToDate');
  const size = formatSize(lang, bytes);
  return count === 1 ? t(lang, 'products.updatesOne', { size }) : t(lang, 'products.updatesSome', { count, size });
}

export function updateAllLabel(lang, { count, bytes }) {
  if (count === 0) return t(lang, 'products.updateAllNone');
  return t(lang, 'products.updateAll', { count, size: formatSize(lang, bytes) });
}

// A failed item's sentence: the reason's own when the native side gave one,
// otherwise the one for the kind of failure. One the user cancelled says
// whether the part already downloaded waits for the next install. A full disk says how much room
// the package needs: its size and a twentieth more, as the native check counts.
export function failureMessage(lang, result, packageSize = 0) {
  const reason = result?.reason;
  if (!isReason(reason)) return t(lang, `install.error.${result?.error ?? 'unknown'}`);
  if (reason === 'cancelled') return t(lang, result.kept ? 'install.cancelledKept' : 'install.cancelled');
  if (reason.startsWith('http-')) return t(lang, 'install.reason.http', { code: isolateLtr(reason.slice(5)) });
  if (INSTALLER_REASONS.has(reason)) {
    // Package names and the installer's words are the system's own, left to right in any language.
    const detail = typeof result.detail === 'string' && result.detail !== '' ? isolateLtr(result.detail) : '';
    return t(lang, `install.reason.${reason}${detail ? '' : 'Bare'}`, { detail });
  }
  return t(lang, `install.reason.${reason}`, { size: formatSize(lang, Math.ceil(packageSize * 1.05)) });
}

// What went wrong, in one short sentence for the failure's details: never the
// bridge's word itself, which means nothing to the user and is English in
// every language.
export function failureCause(lang, result) {
  const reason = result?.reason;
  if (!isReason(reason))
    return t(lang, `install.cause.error.${ERRORS.includes(result?.error) ? result.error : 'unknown'}`);
  if (reason.startsWith('http-')) return t(lang, 'install.cause.http', { code: isolateLtr(reason.slice(5)) });
  return t(lang, `install.cause.${reason}`);
}

// The server a package comes from, for the failure details ("" when unreadable).
export function hostOf(url) {
  try {
    return new URL(url).hostname;
  } catch {
    return '';
  }
}

// "Installing 2 of 5 — TALVEN™ Suite" while a batch runs, the name alone otherwise.
export function windowTitle(lang, position) {
  if (!position) return t(lang, 'app.name');
  return t(lang, 'title.installing', position);
}
