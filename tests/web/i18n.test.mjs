import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync, readdirSync } from 'node:fs';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';

import { dictionaries } from '../../web/js/i18n.js';

const WEB = fileURLToPath(new URL('../../web/', import.meta.url));

function sourcesUnder(dir, ext) {
  return readdirSync(dir, { withFileTypes: true, recursive: true })
    .filter((entry) => entry.isFile() && entry.name.endsWith(ext))
    .map((entry) => readFileSync(join(entry.parentPath ?? entry.path, entry.name), 'utf8'));
}

const placeholders = (text) => [...text.matchAll(/\{(\w+)\}/g)].map((m) => m[1]).sort();

test('English and Arabic have the same keys, each a real text in its language with the same placeholders', () => {
  const { en, ar } = dictionaries;
  assert.deepEqual(Object.keys(ar).sort(), Object.keys(en).sort());
  // Brand names, the English autonym and the dash for "none" are the same in both languages.
  const shared = new Set(['app.name', 'settings.langEn', 'settings.langAr', 'product.notInstalled', 'install.status']);
  for (const key of Object.keys(en)) {
    assert.ok(typeof en[key] === 'string' && en[key].trim() !== '', `en:${key} is empty`);
    if (!shared.has(key)) assert.match(ar[key], /[\u0600-\u06ff]/, `ar:${key} has no Arabic`);
    assert.deepEqual(placeholders(ar[key]), placeholders(en[key]), key);
  }
});

test('every key the page uses exists, and every state it names by code has its text', async () => {
  const used = new Set();
  for (const html of sourcesUnder(WEB, '.html')) {
    for (const m of html.matchAll(/data-i18n(?:-title|-label)?="([^"]+)"/g)) used.add(m[1]);
  }
  for (const js of sourcesUnder(join(WEB, 'js'), '.js')) {
    for (const m of js.matchAll(/\bt\(\s*[\w.]+\s*,\s*'([\w.]+)'/g)) used.add(m[1]);
  }
  assert.ok(used.size > 20, 'the scan found the keys');
  const { PHASES, ERRORS } = await import('../../web/js/install.js');
  const { CATEGORIES, RESULT_ERRORS } = await import('../../web/js/feedback.js');
  const { AUTO_CHOICES } = await import('../../web/js/schedule.js');
  const { STATES } = await import('../../web/js/version.js');
  const { UNOFFERED } = await import('../../web/js/inventory.js');
  const keys = [
    ...used,
    ...PHASES.map((phase) => `install.${phase}`),
    ...[...ERRORS, 'unknown'].map((error) => `install.error.${error}`),
    ...[...RESULT_ERRORS, 'noAnswer', 'sent'].flatMap((key) => [`feedback.${key}.title`, `feedback.${key}.body`]),
    ...CATEGORIES.map((category) => `feedback.cat.${category}`),
    ...AUTO_CHOICES.map((choice) => `settings.auto.${choice}`),
    ...[...Object.values(STATES), ...Object.values(UNOFFERED)].map((state) => `product.state.${state}`),
  ];
  assert.deepEqual(keys.filter((key) => !Object.hasOwn(dictionaries.en, key)), []);
});
