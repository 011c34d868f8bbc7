// Demo mode: the native side ignores "install" and "sendFeedback", so the
// page plays the events a real run would send, through the same handlers,
// at a pace a viewer can follow. The events have exactly the native shape,
// which keeps the demo honest about what the real views do with them.

const DOWNLOAD_STEPS = 8;
const STEP_MS = 280;

// → [delay in ms from now, event] for one batch, in native order: each item
// downloads and is verified in turn, then the whole batch waits for the one
// password prompt, installs, and reports. `kept` maps an id to the percentage
// an earlier, cancelled download of it reached: that one goes on from there.
export function installScript(items, kept = new Map()) {
  const script = [];
  let at = 0;
  const emit = (after, event) => {
    at += after;
    script.push([at, event]);
  };
  for (const { id } of items) {
    emit(200, { type: 'progress', id, phase: 'download', pct: 0 });
    const from = kept.get(id) ?? 0;
    if (from > 0) emit(STEP_MS, { type: 'progress', id, phase: 'download', pct: from, resumedAt: from });
    for (let step = 1; step <= DOWNLOAD_STEPS; step++) {
      emit(STEP_MS, { type: 'progress', id, phase: 'download', pct: from + ((100 - from) * step) / DOWNLOAD_STEPS });
    }
    emit(350, { type: 'progress', id, phase: 'verify', pct: 100 });
  }
  at += 500;
  for (const { id } of items) script.push([at, { type: 'progress', id, phase: 'password', pct: 100 }]);
  at += 1400;
  for (const { id } of items) script.push([at, { type: 'progress', id, phase: 'install', pct: 100 }]);
  at += 1800;
  for (const { id, version } of items) script.push([at, { type: 'result', id, ok: true, version }]);
  return script;
}

// A restore: nothing to download, the one password prompt, the install, the
// result, and the history as the native side tells it then (`history(at)`,
// with `at` the result's time in ms since 1970).
export function restoreScript(id, version, history, start = Date.now()) {
  return [
    [300, { type: 'progress', id, phase: 'password', pct: 100 }],
    [1700, { type: 'progress', id, phase: 'install', pct: 100 }],
    [3500, { type: 'result', id, ok: true, version }],
    [3600, history(start + 3500)],
  ];
}

// Attachments travel with visible progress; the outcome is what the native
// side reports for a delivered submission.
export function feedbackScript(fileCount) {
  if (fileCount === 0) return [[900, { type: 'feedbackResult', ok: true, error: '' }]];
  const script = [];
  for (let step = 0; step <= 9; step++) script.push([300 + step * 260, { type: 'feedbackProgress', pct: step * 11 }]);
  script.push([3200, { type: 'feedbackResult', ok: true, error: 'send' }]);
  return script;
}

// Plays a script; `alive(event)` lets a newer run, or a cancel, make an
// older one fall silent.
export function play(script, { emit, later, alive = () => true }) {
  for (const [at, event] of script) {
    later(at, () => {
      if (alive(event)) emit(event);
    });
  }
}
