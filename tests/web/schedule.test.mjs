// When the page checks by itself, and when it tells the user what it found.
import { test } from 'node:test';
import assert from 'node:assert/strict';

import { RETRY_AFTER_FAILURE_MS, autoCheckChoice, isCheckDue } from '../../web/js/schedule.js';
import { mountSettings } from '../../web/js/views/settings.js';
import { pageDocument } from './dom.mjs';
import { INIT, parsed, product, startApp } from './fixtures.mjs';

const HOUR = 3_600_000;
const DAY = 24 * HOUR;
const NOW = 100 * DAY;

test('an automatic check is due by the chosen interval, sooner after a failure', () => {
  const idle = { running: false, lastAt: null, lastOk: null };
  const failedAt = (at) => ({ running: false, lastAt: at, lastOk: false });
  const cases = [
    // name, settings, checker status, due
    ['never checked, default daily', {}, idle, true],
    ['checked an hour ago', { lastCheck: NOW - HOUR }, idle, false],
    ['weekly, checked eight days ago', { autoCheck: 'weekly', lastCheck: NOW - 8 * DAY }, idle, true],
    ['unknown choice falls back to daily', { autoCheck: 'hourly', lastCheck: NOW - DAY }, idle, true],
    ['a check is running', { lastCheck: NOW - 9 * DAY }, { ...idle, running: true }, false],
    ['failed half an hour ago', { lastCheck: NOW - 2 * DAY }, failedAt(NOW - RETRY_AFTER_FAILURE_MS), true],
    ['failed, but the regular check is not due yet', { lastCheck: NOW - HOUR }, failedAt(NOW - 2 * HOUR), false],
    ['last check in the future (clock set back)', { lastCheck: NOW + 30 * DAY }, idle, true],
  ];
  for (const [name, settings, check, due] of cases) {
    assert.equal(isCheckDue(settings, check, NOW), due, name);
  }
  assert.equal(autoCheckChoice(null), 'daily');
});

// An app whose check finds `updates` (ids with a newer version) each time.
function appWith({ away, settings = {} }) {
  let clock = NOW;
  let updates = [];
  const env = startApp({
    init: { type: 'init', version: '1.0', demo: false, settings, osLang: 'ar', osDark: false },
    now: () => clock,
    isAway: () => away.value,
    runCheck: async () => ({
      ok: true, source: 'live', problems: [],
      products: parsed(...updates.map(([id, version]) => product({ id, version, name: { en: id, ar: id } }))),
      installed: new Map(updates.map(([id]) => [id, '0.1'])),
    }),
  });
  return {
    ...env,
    found: (list) => { updates = list; },
    advance: (ms) => { clock += ms; },
    notes: () => env.posts.filter((m) => m.type === 'notify'),
  };
}

test('updates found while the user is away are announced once, in their language, and the answer is obeyed', async () => {
  const away = { value: true };
  const env = appWith({ away });
  const ab = [['a', '2.0'], ['b', '3.0']];
  // What each check finds, whether the user is away, and the notifications so far: the same
  // updates are not news, a newer version is, and updates seen on screen count as told.
  const rounds = [[ab, true, 1], [ab, true, 1], [[['a', '2.1'], ['b', '3.0']], true, 2], [[['c', '1.0']], false, 2], [[['c', '1.0']], true, 2]];
  for (const [found, isAway, notes] of rounds) {
    env.found(found);
    away.value = isAway;
    await env.app.checkForUpdates();
    assert.equal(env.notes().length, notes, JSON.stringify(found));
  }
  const [note] = env.notes();
  assert.match(note.body, /a، b/, 'Arabic list, Arabic comma');
  assert.deepEqual([note.update, typeof note.title, typeof note.later], ['تحديث', 'string', 'string']);

  env.app.showView('settings');
  env.posts.length = 0;
  for (const action of ['later', 'bogus']) env.receive({ type: 'notifAction', action });
  assert.deepEqual(env.posts, []);
  env.receive({ type: 'notifAction', action: 'update' });
  assert.deepEqual(env.posts.map((m) => [m.type, m.items.map((i) => i.id)]), [['install', ['c']]]);
  assert.equal(env.app.store.get().view, 'products');
});

test('with "autoInstall" on the native side takes the updates, and its answer is told once', async () => {
  const env = appWith({ away: { value: true }, settings: { autoInstall: true } });
  env.found([['a', '2.0'], ['b', '3.0']]);
  await env.app.checkForUpdates();
  const handed = env.posts.filter((m) => m.type === 'autoUpdate');
  assert.deepEqual(handed.map((m) => m.items.map((i) => i.id)), [['a', 'b']]);
  assert.deepEqual(env.notes(), [], 'nothing announced before the native side answers');
  // Held back on a metered network: the updates are still news to announce.
  env.receive({ type: 'autoUpdate', state: 'waiting', reason: 'metered' });
  assert.deepEqual(env.app.store.get().autoUpdate, { state: 'waiting', reason: 'metered' });
  assert.equal(env.notes().at(-1).update, 'تحديث');
  // Ready: the rows go back to plain, and one notice offers the install.
  env.receive({ type: 'progress', id: 'a', phase: 'verify', pct: 100 });
  env.receive({ type: 'autoUpdate', state: 'ready', ids: ['a', 'b'] });
  assert.equal(env.app.store.get().install.items.has('a'), false);
  assert.deepEqual([env.notes().length, env.notes().at(-1).update], [2, 'تثبيت']);
  // Installed without a prompt: one notice with both outcomes, once all are in.
  env.receive({ type: 'autoUpdate', state: 'installing', ids: ['a', 'b'] });
  env.receive({ type: 'result', id: 'a', ok: true, version: '2.0' });
  assert.equal(env.notes().length, 2);
  env.receive({ type: 'result', id: 'b', ok: false, error: 'install' });
  env.receive({ type: 'result', id: 'b', ok: true });
  const done = env.notes().slice(2);
  assert.equal(done.length, 1);
  assert.deepEqual([done[0].buttons, /a/.test(done[0].body), /b/.test(done[0].body)], [false, true, true]);
  // Switched off, a check hands nothing over.
  env.app.setAutoInstall(false);
  env.posts.length = 0;
  env.advance(DAY);
  await env.app.checkForUpdates();
  assert.deepEqual(env.posts.filter((m) => m.type === 'autoUpdate'), []);
});

test('settings the administrator locked show their value, cannot be changed and say who set them', () => {
  const policy = { settings: { autoInstall: true, startLogin: false, autoCheck: 'hourly' }, by: 'ACME IT' };
  const settings = { autoInstall: true, startLogin: false, autoCheck: 'daily' };
  const { app, posts } = startApp({ init: { ...INIT, settings, policy } });
  const doc = pageDocument();
  const render = mountSettings(app, doc);
  render(app.store.get());
  const panel = doc.querySelector('[data-panel="settings"]');
  const control = (key) => panel.querySelector(`[data-setting="${key}"]`);
  assert.deepEqual(
    [control('autoInstall').disabled, control('startLogin').disabled, control('autoCheck').disabled],
    [true, true, false],
    'an unknown value locks nothing',
  );
  const note = panel.querySelector('[data-policy-note]');
  assert.equal(note.hidden, false);
  assert.equal(note.textContent, 'Some of these settings are set by \u2068ACME IT\u2069 and cannot be changed here.');
  assert.deepEqual([app.setAutoInstall(false), app.setStartLogin(true), app.setAutoCheck('weekly')], [false, false, true]);
  assert.deepEqual(
    posts.map((p) => p.type),
    ['save'],
  );
});
