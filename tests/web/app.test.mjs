import { test } from 'node:test';
import assert from 'node:assert/strict';

import { checkStatus } from '../../web/js/check.js';
import { startApp } from './fixtures.mjs';

const INIT = {
  type: 'init', platform: 'linux', version: '1.4.2', demo: false,
  settings: { lang: 'en', feeds: { beta: true }, dismissed: ['x'] },
  osLang: 'ar-EG', osDark: false, reduceMotion: false,
};
const STORED = INIT.settings;

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
