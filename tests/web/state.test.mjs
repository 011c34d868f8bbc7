import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';

import {
  applyInit, initialState, langChoice, resolveLang,
} from '../../web/js/state.js';

// The native side checks its own rule against the same table.
const LANGUAGE_CASES = JSON.parse(
  readFileSync(new URL('../fixtures/interface-language.json', import.meta.url), 'utf8')).cases;

test('interface language: an explicit choice wins, otherwise the system language decides', () => {
  for (const [lang, osLang, expected] of LANGUAGE_CASES) {
    assert.equal(resolveLang(lang === null ? {} : { lang }, osLang), expected, `${lang} + ${osLang}`);
  }
  assert.equal(resolveLang(null, undefined), 'en');
  const choices = [{ lang: 'en' }, { lang: 'ar' }, { lang: 'system' }, { lang: 'fr' }, {}, null].map(langChoice);
  assert.deepEqual(choices, ['en', 'ar', 'system', 'system', 'system', 'system']);
});

test('init takes each member with a fallback for missing or mistyped values, detached from the event', () => {
  const pick = ({ booted, platform, version, demo, packages, arch, vendorHost, settings, osLang, osDark, reduceMotion }) =>
    ({ booted, platform, version, demo, packages, arch, vendorHost, settings, osLang, osDark, reduceMotion });
  const event = {
    type: 'init', platform: 'linux', version: '2.1.0', demo: true, packages: 'deb', arch: 'arm64', vendorHost: 'brenlow.example',
    settings: { lang: 'ar', k: [1] },
    osLang: 'ar-EG', osDark: true, reduceMotion: true,
  };
  const { type, ...members } = structuredClone(event);
  const full = applyInit(initialState(), event);
  event.settings.k.push(2);
  assert.deepEqual(pick(full), { ...members, booted: true });

  // A package kind this page does not know is one it cannot offer anything for.
  const odd = applyInit(initialState(), {
    type: 'init', platform: 7, version: null, demo: 'true', packages: 'snap', arch: 'arm64', vendorHost: 'evil.example/x',
    settings: [1, 2], osLang: '', osDark: 1,
  });
  assert.deepEqual(pick(odd), {
    booted: true, platform: '', version: '', demo: false, packages: '', arch: '', vendorHost: '', settings: {}, osLang: 'en',
    osDark: false, reduceMotion: false,
  });
  // A native side from before the choice installs installer packages.
  const older = applyInit(initialState(), { type: 'init', settings: null });
  assert.deepEqual([older.settings, older.packages], [{}, 'pkg']);
  // The machine, as the host's kind names it, or none.
  const machines = [['rpm', 'x86_64'], ['deb', 'x86_64'], ['deb', 'ARM64'], ['pkg', 'arm64']];
  assert.deepEqual(machines.map(([packages, arch]) => applyInit(initialState(), { packages, arch }).arch), ['x86_64', '', '', '']);
});
