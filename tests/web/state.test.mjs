import { test } from 'node:test';
import assert from 'node:assert/strict';

import {
  applyAppearance, applyInit, initialState, langChoice, resolveLang, withLanguage, withStartLogin,
} from '../../web/js/state.js';

test('interface language: an explicit choice wins, otherwise the system language decides', () => {
  const cases = [
    // settings, osLang, expected
    [{ lang: 'ar' }, 'en-US', 'ar'],
    [{ lang: 'en' }, 'ar-EG', 'en'],
    [{ lang: 'fr' }, 'ar-EG', 'ar'],
    [{ lang: 'fr' }, 'en-US', 'en'],
    [{ lang: 'ar-EG' }, 'en-US', 'en'],
    [{ lang: 42 }, 'ar', 'ar'],
    [{}, 'ar-EG', 'ar'],
    [{}, 'en-US', 'en'],
    [{}, '', 'en'],
    [null, 'ar', 'ar'],
    [undefined, undefined, 'en'],
    // GLib reports POSIX locale names on this host.
    [{}, 'ar_EG.UTF-8', 'ar'],
    [{}, 'ar_SA@latin', 'ar'],
    [{}, 'AR-sa', 'ar'],
    // Mapudungun: its code merely begins with "ar".
    [{}, 'arn-CL', 'en'],
  ];
  for (const [settings, osLang, expected] of cases) {
    assert.equal(resolveLang(settings, osLang), expected, `${JSON.stringify(settings)} + ${osLang}`);
  }
});

test('the language control shows "system" for anything but en and ar', () => {
  assert.equal(langChoice({ lang: 'en' }), 'en');
  assert.equal(langChoice({ lang: 'ar' }), 'ar');
  assert.equal(langChoice({ lang: 'system' }), 'system');
  assert.equal(langChoice({}), 'system');
  assert.equal(langChoice(null), 'system');
});

test('settings updates keep every other key and never touch the original', () => {
  const original = { lang: 'en', catalog: { urls: ['https://a.example/c.json'] }, seen: [1, 2], x: null };
  const frozen = structuredClone(original);

  const arabic = withLanguage(original, 'ar');
  assert.deepEqual(arabic, { ...frozen, lang: 'ar' });

  const on = withStartLogin(arabic, true);
  assert.deepEqual(on, { ...frozen, lang: 'ar', startLogin: true });
  on.catalog.urls.push('changed');
  assert.deepEqual(original, frozen, 'copies must be deep');
  assert.deepEqual(arabic.catalog, frozen.catalog);
});

test('choosing System removes "lang" instead of storing a word the native menu would take literally', () => {
  const next = withLanguage({ lang: 'ar', other: 1 }, 'system');
  assert.equal('lang' in next, false);
  assert.deepEqual(next, { other: 1 });
});

test('startLogin is always stored as a real bool', () => {
  assert.equal(withStartLogin({ startLogin: 'true' }, true).startLogin, true);
  assert.equal(withStartLogin({ startLogin: true }, 'yes').startLogin, false);
  assert.equal(withStartLogin(null, false).startLogin, false);
});

test('init takes each member with a fallback for missing or mistyped values', () => {
  const full = applyInit(initialState(), {
    type: 'init', platform: 'linux', version: '2.1.0', demo: true, settings: { lang: 'ar', k: [1] },
    osLang: 'ar-EG', osDark: true, reduceMotion: true,
  });
  assert.equal(full.booted, true);
  assert.equal(full.platform, 'linux');
  assert.equal(full.version, '2.1.0');
  assert.equal(full.demo, true);
  assert.deepEqual(full.settings, { lang: 'ar', k: [1] });
  assert.equal(full.osLang, 'ar-EG');
  assert.equal(full.osDark, true);
  assert.equal(full.reduceMotion, true);

  const odd = applyInit(initialState(), {
    type: 'init', platform: 7, version: null, demo: 'true', settings: [1, 2], osLang: '', osDark: 1,
  });
  assert.equal(odd.platform, '');
  assert.equal(odd.version, '');
  assert.equal(odd.demo, false);
  assert.deepEqual(odd.settings, {});
  assert.equal(odd.osLang, 'en');
  assert.equal(odd.osDark, false);
  assert.equal(odd.reduceMotion, false);

  assert.deepEqual(applyInit(initialState(), { type: 'init', settings: null }).settings, {});
});

test('init settings are detached from the event object', () => {
  const event = { type: 'init', settings: { nested: { a: 1 } } };
  const state = applyInit(initialState(), event);
  event.settings.nested.a = 2;
  assert.equal(state.settings.nested.a, 1);
});

test('appearance changes only the members it carries as bools', () => {
  const dark = applyAppearance(initialState(), { type: 'appearance', osDark: true, reduceMotion: true });
  assert.equal(dark.osDark, true);
  assert.equal(dark.reduceMotion, true);
  const partial = applyAppearance(dark, { type: 'appearance', osDark: false, reduceMotion: 'no' });
  assert.equal(partial.osDark, false);
  assert.equal(partial.reduceMotion, true);
});
