// The check for updates: one run at a time, with its start and end recorded
// for the status line of the products view.
//
// `run` does the actual work and resolves to { ok }. It is where the catalog
// request ("fetchCatalog" → "catalog"), the scan of installed versions
// ("scan" → "scanned") and the comparison with the catalog versions go.

import { formatWhen, t } from './i18n.js';

const delay = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Until the catalog request exists there is nothing to fetch or compare, so a
// check only records that it happened.
export async function runUpdateCheck() {
  return { ok: true };
}

export function createChecker({
  run = runUpdateCheck,
  onChange = () => {},
  now = Date.now,
  // A check that ends within a frame would only flicker; keep the busy state
  // on screen long enough to be read.
  minBusyMs = 0,
  wait = delay,
} = {}) {
  let status = { running: false, startedAt: null, lastAt: null, lastOk: null };

  function set(next) {
    status = next;
    onChange(status);
  }

  async function attempt() {
    try {
      const [result] = await Promise.all([run(), minBusyMs > 0 ? wait(minBusyMs) : null]);
      return result?.ok === true;
    } catch (err) {
      console.error('suite: update check failed', err);
      return false;
    }
  }

  // A second request while one runs (menu command during a check, double
  // click) joins the running check instead of starting another fetch.
  let current = null;

  function start() {
    if (current) return current;
    set({ ...status, running: true, startedAt: now() });
    // Cleared in a continuation, never synchronously: a run that fails at
    // once must not clear `current` before it has been assigned.
    current = attempt().then((ok) => {
      current = null;
      set({ running: false, startedAt: null, lastAt: now(), lastOk: ok });
      return ok;
    });
    return current;
  }

  return { start, status: () => status };
}

// The status line for a check state: which mark to show and its text. While
// a check runs, the time of the previous one stays in view.
export function checkStatus(lang, check, now = Date.now()) {
  const last = check?.lastAt == null ? null : {
    ok: check.lastOk === true,
    text: t(lang, check.lastOk === true ? 'check.done' : 'check.failed', {
      when: formatWhen(lang, check.lastAt, now),
    }),
  };
  if (check?.running) {
    const running = t(lang, 'check.running');
    return { state: 'running', text: last ? `${running} ${last.text}` : running };
  }
  if (!last) return { state: 'idle', text: t(lang, 'check.never') };
  return { state: last.ok ? 'done' : 'failed', text: last.text };
}
