// Every text colour of both palettes against the surfaces it is drawn on: at
// least 4.5:1, the WCAG AA level for body text.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';

const css = readFileSync(new URL('../../web/css/base.css', import.meta.url), 'utf8');

function palette(selector) {
  const block = css.slice(css.indexOf(selector)).match(/\{([^}]*)\}/)[1];
  return Object.fromEntries([...block.matchAll(/--([\w-]+):\s*([^;]+);/g)].map((m) => [m[1], m[2].trim()]));
}

function rgba(text) {
  const hex = text.match(/^#([0-9a-f]{6})$/i);
  if (hex) return [0, 2, 4].map((i) => parseInt(hex[1].slice(i, i + 2), 16)).concat(1);
  const [r, g, b, a = 1] = text.match(/[\d.]+/g).map(Number);
  return [r, g, b, a];
}

// A colour with alpha, laid over the opaque colours below it (top first).
const over = (...layers) => layers.map(rgba).reduceRight((base, [r, g, b, a]) =>
  [r, g, b].map((c, i) => c * a + base[i] * (1 - a)).concat(1));

const luminance = (rgb) => rgb.slice(0, 3).map((c) => c / 255)
  .map((c) => (c <= 0.03928 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4))
  .reduce((sum, c, i) => sum + c * [0.2126, 0.7152, 0.0722][i], 0);

function ratio(fg, ...bg) {
  const [a, b] = [luminance(over(fg, ...bg)), luminance(over(...bg))].sort((x, y) => y - x);
  return (a + 0.05) / (b + 0.05);
}

// Text colour, and the layers it is drawn on from the top down.
const PAIRS = [
  ['text', 'surface'], ['text', 'surface-hover'], ['text-2', 'bg'], ['text-2', 'sidebar'], ['text-2', 'surface'],
  ['text-3', 'surface'], ['text-3', 'sidebar'], ['text-3', 'warn-soft', 'bg'], ['text-2', 'warn-soft', 'bg'],
  ['accent-ink', 'accent-soft', 'sidebar'], ['accent-ink', 'accent-soft', 'surface'], ['accent-ink', 'surface'],
  ['ok', 'ok-soft', 'surface'], ['ok', 'ok-soft', 'bg'], ['update', 'update-soft', 'surface'],
  ['missing', 'missing-soft', 'surface'], ['warn', 'warn-soft', 'surface'], ['warn', 'warn-soft', 'bg'], ['warn', 'bg'],
  ['danger', 'surface'], ['demo-text', 'demo-bg', 'sidebar'], ['demo-text', 'demo-bg', 'bg'], ['accent-text', 'accent'],
  ['text-2', 'surface-hover'],
];

test('every text colour reaches 4.5:1 on its surfaces in the light and the dark palette', () => {
  for (const selector of [':root[data-theme="light"]', ':root[data-theme="dark"]']) {
    const colours = palette(selector);
    const low = PAIRS.map((pair) => [pair.join(' on '), ratio(...pair.map((name) => colours[name]))])
      .filter(([, value]) => value < 4.5).map(([name, value]) => `${name} ${value.toFixed(2)}`);
    assert.deepEqual(low, [], selector);
  }
});
