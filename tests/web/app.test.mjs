import { test } from 'node:test';
import assert from 'node:assert/strict';

import { createApp } from '../../web/js/app.js';
import { checkStatus, createChecker } from '../../web/js/check.js';

const INIT = {
  type: 'init', platform: 'linux', version: '1.4.2', demo: false,
  settings: { lang: 'en', feeds: { beta: true }, dismissed: ['x'] },
  osLang: 'ar-EG', osDark: false, reduceMotion: false,
};

// A started app with its outgoing messages recorded; `check` replaces the
// update check so tests decide when it ends.
function started({ init = INIT, check } = {}) {
  const sent = [];
  const win = {};
  const app = createApp({ post: (m) => sent.push(m), runCheck: check });
  app.connect(win);
  if (init) win.Suite.receive(structuredClone(init));
  sent.length = 0;
  return { app, sent, win };
}

function deferred() {
  let resolve;
  const promise = new Promise((r) => { resolve = r; });
  return { promise, resolve };
}

test('Suite exists before "ready" goes out, so an immediate "init" is not lost', () => {
  const win = {};
  let app;
  const post = (message) => {
    if (message.type === 'ready') {
      assert.equal(typeof win.Suite?.receive, 'function');
      win.Suite.receive({ ...INIT }); // the native reply may arrive inside post()
    }
  };
  app = createApp({ post });
  app.connect(win);
  assert.equal(app.snapshot().booted, true);
  assert.equal(app.snapshot().version, '1.4.2');
});

test('language change saves the whole settings dictionary, unknown keys included', () => {
  const { app, sent } = started();
  assert.equal(app.snapshot().lang, 'en');

  app.setLanguage('ar');
  assert.deepEqual(sent, [{ type: 'save', settings: { lang: 'ar', feeds: { beta: true }, dismissed: ['x'] } }]);
  assert.equal(app.snapshot().lang, 'ar');

  sent.length = 0;
  app.setLanguage('system');
  assert.deepEqual(sent, [{ type: 'save', settings: { feeds: { beta: true }, dismissed: ['x'] } }]);
  assert.equal(app.snapshot().lang, 'ar', 'system language is Arabic');

  sent.length = 0;
  app.setLanguage('system');
  app.setLanguage('de');
  assert.deepEqual(sent, [], 'no change, nothing to save');
});

test('start at login saves the setting and switches the login item', () => {
  const { app, sent } = started();
  app.setStartLogin(true);
  assert.deepEqual(sent, [
    { type: 'save', settings: { lang: 'en', feeds: { beta: true }, dismissed: ['x'], startLogin: true } },
    { type: 'setLoginItem', on: true },
  ]);

  sent[0].settings.feeds.beta = false;  // saved settings are a copy
  assert.equal(app.snapshot().settings.feeds.beta, true);

  sent.length = 0;
  app.setStartLogin(false);
  assert.deepEqual([sent[0].settings.startLogin, sent[1]], [false, { type: 'setLoginItem', on: false }]);
});

test('with no stored settings the first save holds only what the user chose', () => {
  const { app, sent } = started({ init: { ...INIT, settings: null, osLang: 'en' } });
  app.setStartLogin(true);
  assert.deepEqual(sent[0], { type: 'save', settings: { startLogin: true } });
});

test('nothing is saved before "init" has delivered the stored settings', () => {
  const { app, sent } = started({ init: null });
  assert.equal(app.setLanguage('ar'), false);
  assert.equal(app.setStartLogin(true), false);
  assert.deepEqual(sent, []);
});

test('links go to the native side, and only web addresses', () => {
  const { app, sent } = started();
  app.openLink('https://brenlow.example/');
  for (const bad of ['javascript:alert(1)', 'file:///etc/passwd', 'not a url', 42, null]) app.openLink(bad);
  assert.deepEqual(sent, [{ type: 'link', url: 'https://brenlow.example/' }]);
});

test('malformed events leave the state alone', () => {
  const { app, win } = started();
  const before = app.snapshot();
  for (const event of [null, 'checkNow', [], { type: 1 }, { type: 'catalog', ok: false }]) {
    assert.doesNotThrow(() => win.Suite.receive(event));
  }
  assert.deepEqual(app.snapshot(), before);
});

test('checkNow shows the products view and runs one check at a time', async () => {
  const gate = deferred();
  let runs = 0;
  const { app, win } = started({ check: () => { runs++; return gate.promise; } });
  app.showView('settings');

  win.Suite.receive({ type: 'checkNow' });
  win.Suite.receive({ type: 'checkNow' });
  const snap = app.snapshot();
  assert.deepEqual([snap.view, snap.check.running, snap.check.lastAt], ['products', true, null]);
  assert.equal(runs, 1, 'a second request joins the running check');

  const finished = app.checkForUpdates();
  gate.resolve({ ok: true });
  assert.equal(await finished, true);
  const { running, lastOk, lastAt } = app.snapshot().check;
  assert.deepEqual([running, lastOk, typeof lastAt], [false, true, 'number']);
});

test('a check that fails or throws is recorded as failed and can be retried', async (t) => {
  t.mock.method(console, 'error', () => {});
  const outcomes = [() => ({ ok: false }), () => { throw new Error('offline'); }, () => ({ ok: true })];
  const checker = createChecker({ run: () => outcomes.shift()(), now: () => 1000 });
  assert.equal(await checker.start(), false);
  assert.equal(await checker.start(), false);
  assert.deepEqual(checker.status(), { running: false, startedAt: null, lastAt: 1000, lastOk: false });
  assert.equal(await checker.start(), true);
});

test('the busy state lasts at least the minimum even when the check is instant', async () => {
  const pause = deferred();
  const checker = createChecker({ run: async () => ({ ok: true }), minBusyMs: 900, wait: () => pause.promise });
  const done = checker.start();
  await new Promise((r) => setImmediate(r));
  assert.equal(checker.status().running, true);
  pause.resolve();
  await done;
  assert.equal(checker.status().running, false);
});

test('status line texts follow the check state and language', () => {
  const now = new Date(2025, 4, 6, 15, 0).getTime();
  const today = new Date(2025, 4, 6, 9, 5).getTime();
  const earlier = new Date(2025, 3, 28, 9, 5).getTime();

  assert.deepEqual(checkStatus('en', { running: true, lastAt: null }), { state: 'running', text: 'Checking for updates…' });
  assert.match(checkStatus('en', { running: true, lastAt: today, lastOk: true }, now).text,
    /^Checking for updates… Last checked today at 9:05\sAM\.$/);
  assert.equal(checkStatus('ar', { running: false, lastAt: null }).state, 'idle');

  const done = checkStatus('en', { running: false, lastAt: today, lastOk: true }, now);
  assert.match(`${done.state} ${done.text}`, /^done Last checked today at 9:05\sAM\.$/);

  const failed = checkStatus('ar', { running: false, lastAt: earlier, lastOk: false }, now);
  assert.equal(failed.state, 'failed');
  assert.match(failed.text, /2025/);
  assert.doesNotMatch(failed.text, /[\u0660-\u0669]/, 'Latin digits in Arabic too');
});
