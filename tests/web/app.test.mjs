import { test } from 'node:test';
import assert from 'node:assert/strict';

import { createApp } from '../../web/js/app.js';
import { checkStatus, createChecker } from '../../web/js/check.js';
import { startApp } from './fixtures.mjs';

const INIT = {
  type: 'init', platform: 'linux', version: '1.4.2', demo: false,
  settings: { lang: 'en', feeds: { beta: true }, dismissed: ['x'] },
  osLang: 'ar-EG', osDark: false, reduceMotion: false,
};
const STORED = INIT.settings;

function deferred() {
  let resolve;
  const promise = new Promise((r) => { resolve = r; });
  return { promise, resolve };
}

test('Suite exists before "ready" goes out, so an immediate "init" is not lost', () => {
  const win = {};
  const post = (message) => {
    // The native reply may arrive inside post().
    if (message.type === 'ready') win.Suite.receive({ ...INIT });
  };
  const app = createApp({ post });
  app.connect(win);
  assert.deepEqual([app.snapshot().booted, app.snapshot().version], [true, '1.4.2']);
});

test('settings changes save the whole dictionary, unknown keys included, and only once there is one', () => {
  const { app, posts } = startApp({ init: INIT });
  app.setLanguage('ar');
  app.setLanguage('system');
  app.setLanguage('system');
  app.setLanguage('de');
  app.setStartLogin(true);
  assert.deepEqual(posts, [
    { type: 'save', settings: { ...STORED, lang: 'ar' } },
    { type: 'save', settings: { feeds: { beta: true }, dismissed: ['x'] } },
    { type: 'save', settings: { feeds: { beta: true }, dismissed: ['x'], startLogin: true } },
    { type: 'setLoginItem', on: true },
  ]);
  assert.equal(app.snapshot().lang, 'ar', 'the system language is Arabic');
  posts[0].settings.feeds.beta = false;
  assert.equal(app.snapshot().settings.feeds.beta, true, 'saved settings are a copy');

  const fresh = startApp({ init: { ...INIT, settings: null } });
  fresh.app.setStartLogin(false);
  assert.deepEqual(fresh.posts, [{ type: 'save', settings: { startLogin: false } }, { type: 'setLoginItem', on: false }]);

  const early = startApp({ init: null });
  assert.deepEqual([early.app.setLanguage('ar'), early.app.setStartLogin(true), early.posts], [false, false, []]);
});

test('links go to the native side, and only web addresses; malformed events leave the state alone', () => {
  const { app, posts, receive } = startApp({ init: INIT });
  const before = app.snapshot();
  for (const event of [null, 'checkNow', [], { type: 1 }, { type: 'catalog', ok: false }]) receive(event);
  assert.deepEqual(app.snapshot(), before);
  for (const url of ['https://brenlow.example/', 'javascript:alert(1)', 'file:///etc/passwd', 'not a url', 42, null]) {
    app.openLink(url);
  }
  assert.deepEqual(posts, [{ type: 'link', url: 'https://brenlow.example/' }]);
});

test('checkNow shows the products view and records when the check ended', async () => {
  const gate = deferred();
  const { app, receive } = startApp({ init: INIT, runCheck: () => gate.promise });
  app.showView('settings');
  receive({ type: 'checkNow' });
  const snap = app.snapshot();
  assert.deepEqual([snap.view, snap.check.running, snap.check.lastAt], ['products', true, null]);
  gate.resolve({ ok: true });
  assert.equal(await app.checkForUpdates(), true);
  const { running, lastOk, lastAt } = app.snapshot().check;
  assert.deepEqual([running, lastOk, typeof lastAt], [false, true, 'number']);
});

test('a check that fails or throws is recorded as failed and can be retried; busy lasts the minimum', async (t) => {
  t.mock.method(console, 'error', () => {});
  const outcomes = [() => ({ ok: false }), () => { throw new Error('offline'); }, () => ({ ok: true })];
  const checker = createChecker({ run: () => outcomes.shift()(), now: () => 1000 });
  assert.deepEqual([await checker.start(), await checker.start()], [false, false]);
  assert.deepEqual(checker.status(), { running: false, startedAt: null, lastAt: 1000, lastOk: false });
  assert.equal(await checker.start(), true);

  const pause = deferred();
  const instant = createChecker({ run: async () => ({ ok: true }), minBusyMs: 900, wait: () => pause.promise });
  const done = instant.start();
  await new Promise((r) => setImmediate(r));
  assert.equal(instant.status().running, true);
  pause.resolve();
  await done;
  assert.equal(instant.status().running, false);
});

test('status line texts follow the check state and language', () => {
  const now = new Date(2025, 4, 6, 15, 0).getTime();
  const today = new Date(2025, 4, 6, 9, 5).getTime();
  const earlier = new Date(2025, 3, 28, 9, 5).getTime();
  const line = (lang, check) => { const s = checkStatus(lang, check, now); return `${s.state} ${s.text}`; };

  assert.equal(line('en', { running: true, lastAt: null }), 'running Checking for updates…');
  assert.match(line('en', { running: true, lastAt: today, lastOk: true }),
    /^running Checking for updates… Last checked today at 9:05\sAM\.$/);
  assert.match(line('en', { running: false, lastAt: today, lastOk: true }), /^done Last checked today at 9:05\sAM\.$/);
  assert.match(line('ar', { running: false, lastAt: null }), /^idle /);
  const failed = line('ar', { running: false, lastAt: earlier, lastOk: false });
  assert.match(failed, /^failed .*2025/);
  assert.doesNotMatch(failed, /[\u0660-\u0669]/, 'Latin digits in Arabic too');
});

test('download shares are drawn at most every PROGRESS_REDRAW_MS, the latest one, and never after the result', () => {
  let clock = 0;
  const due = [];
  const { app, receive } = startApp({ now: () => clock, later: (ms, fn) => due.push([clock + ms, fn]) });
  let draws = 0;
  app.store.subscribe(() => { draws += 1; });
  const share = () => app.snapshot().install.items['talven.presenter']?.pct;
  const progress = (pct) => receive({ type: 'progress', id: 'talven.presenter', phase: 'download', pct });
  const advance = (ms) => {
    clock += ms;
    const ready = due.filter(([at]) => at <= clock);
    due.splice(0, due.length, ...due.filter(([at]) => at > clock));
    for (const [, fn] of ready) fn();
  };

  progress(10);
  assert.deepEqual([share(), draws], [10, 1], 'the first share shows at once');
  receive({ type: 'progress', id: 'talven.presenter', phase: 'download', pct: 20, resumedAt: 20 });
  advance(150);
  progress(30);
  assert.deepEqual([share(), draws], [10, 1], 'later ones wait');
  advance(350);
  assert.deepEqual([share(), draws], [30, 2], 'then the latest is drawn, once');
  assert.equal(app.snapshot().install.items['talven.presenter'].resumedAt, 20, 'with where it went on from');
  progress(40);
  receive({ type: 'result', id: 'talven.presenter', ok: true, version: '4.2.0' });
  advance(500);
  assert.equal(share(), 40, 'a held share goes in before the result');
  assert.equal(app.snapshot().install.items['talven.presenter'].result.ok, true);
});
