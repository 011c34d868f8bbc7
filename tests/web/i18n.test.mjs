import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync, readdirSync } from 'node:fs';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';

import { LANGS, dictionaries, dirOf, formatSize, t } from '../../web/js/i18n.js';

const WEB = fileURLToPath(new URL('../../web/', import.meta.url));

function sourcesUnder(dir, ext) {
  return readdirSync(dir, { withFileTypes: true, recursive: true })
    .filter((entry) => entry.isFile() && entry.name.endsWith(ext))
    .map((entry) => readFileSync(join(entry.parentPath ?? entry.path, entry.name), 'utf8'));
}

const placeholders = (text) => [...text.matchAll(/\{(\w+)\}/g)].map((m) => m[1]).sort();

test('English and Arabic have the same keys, each with a real text', () => {
  const en = Object.keys(dictionaries.en).sort();
  const ar = Object.keys(dictionaries.ar).sort();
  assert.deepEqual(ar.filter((k) => !en.includes(k)), [], 'Arabic keys missing in English');
  assert.deepEqual(en.filter((k) => !ar.includes(k)), [], 'English keys missing in Arabic');
  for (const lang of LANGS) {
    for (const [key, text] of Object.entries(dictionaries[lang])) {
      assert.ok(typeof text === 'string' && text.trim() !== '', `${lang}:${key} is empty`);
    }
  }
});

test('both languages use the same placeholders', () => {
  for (const key of Object.keys(dictionaries.en)) {
    assert.deepEqual(placeholders(dictionaries.ar[key]), placeholders(dictionaries.en[key]), key);
  }
});

test('Arabic texts are written in Arabic, not left in English', () => {
  const latinOnly = /^[^\u0600-\u06ff]*$/;
  // Brand names, the English autonym and the dash for "none" are the same in both languages.
  const shared = new Set(['app.name', 'settings.langEn', 'settings.langAr', 'product.notInstalled', 'install.status']);
  for (const [key, text] of Object.entries(dictionaries.ar)) {
    if (shared.has(key)) continue;
    assert.doesNotMatch(text, latinOnly, `ar:${key} has no Arabic`);
  }
});

test('lookup falls back to English, then to the key', () => {
  assert.equal(t('ar', 'nav.settings'), 'الإعدادات');
  assert.equal(t('fr', 'nav.settings'), 'Settings');
  assert.equal(t(undefined, 'nav.settings'), 'Settings');
  assert.equal(t('en', 'no.such.key'), 'no.such.key');
  assert.equal(t('en', 'toString'), 'toString', 'prototype names are not texts');
});

test('parameters are filled in; a missing one stays visible', () => {
  assert.equal(t('en', 'app.version', { version: '2.0' }), 'Version 2.0');
  assert.equal(t('ar', 'app.version', { version: '2.0' }), 'الإصدار 2.0');
  assert.equal(t('en', 'app.version', {}), 'Version {version}');
  assert.equal(t('en', 'app.version', { version: '$&' }), 'Version $&');
});

test('direction follows the language', () => {
  assert.equal(dirOf('ar'), 'rtl');
  assert.equal(dirOf('en'), 'ltr');
});

test('every key used by the page exists', () => {
  const used = new Set();
  for (const html of sourcesUnder(WEB, '.html')) {
    for (const m of html.matchAll(/data-i18n(?:-title|-label)?="([^"]+)"/g)) used.add(m[1]);
  }
  for (const js of sourcesUnder(join(WEB, 'js'), '.js')) {
    for (const m of js.matchAll(/\bt\(\s*[\w.]+\s*,\s*'([\w.]+)'/g)) used.add(m[1]);
  }
  assert.ok(used.size > 20, 'the scan found the keys');
  const missing = [...used].filter((key) => !Object.hasOwn(dictionaries.en, key));
  assert.deepEqual(missing, []);
});

test('sizes use decimal units, Latin digits and each language\'s unit names', () => {
  const cases = [
    // bytes, English, Arabic
    [0, '0 bytes', '0 بايت'],
    [1, '1 byte', '1 بايت'],
    [999, '999 bytes', '999 بايت'],
    [1000, '1 KB', '1 كيلوبايت'],
    [999_499, '999 KB', '999 كيلوبايت'],
    // Rounded up to the next unit, never "1000 KB".
    [999_999, '1 MB', '1 ميغابايت'],
    [48_213_504, '48.2 MB', '48.2 ميغابايت'],
    [999_960_000, '1 GB', '1 غيغابايت'],
    [1_310_000_000, '1.3 GB', '1.3 غيغابايت'],
  ];
  for (const [bytes, en, ar] of cases) {
    assert.equal(formatSize('en', bytes), en, `${bytes} en`);
    assert.equal(formatSize('ar', bytes), ar, `${bytes} ar`);
  }
  assert.equal(formatSize('en', -1), '');
  assert.equal(formatSize('en', Number.NaN), '');
});

test('every state the page names by code has its text', async () => {
  const { PHASES, ERRORS } = await import('../../web/js/install.js');
  const { CATEGORIES, RESULT_ERRORS } = await import('../../web/js/feedback.js');
  const { AUTO_CHOICES } = await import('../../web/js/schedule.js');
  const keys = [
    ...PHASES.map((phase) => `install.${phase}`),
    ...[...ERRORS, 'unknown'].map((error) => `install.error.${error}`),
    ...[...RESULT_ERRORS, 'noAnswer', 'sent'].flatMap((key) => [`feedback.${key}.title`, `feedback.${key}.body`]),
    ...CATEGORIES.map((category) => `feedback.cat.${category}`),
    ...AUTO_CHOICES.map((choice) => `settings.auto.${choice}`),
  ];
  assert.deepEqual(keys.filter((key) => !Object.hasOwn(dictionaries.en, key)), []);
});
