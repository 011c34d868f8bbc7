import { test } from 'node:test';
import assert from 'node:assert/strict';

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
