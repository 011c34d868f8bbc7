import { test } from 'node:test';
import assert from 'node:assert/strict';

import { STATES, compareVersions, isInstallable, productState } from '../../web/js/version.js';

const sign = (n) => Math.sign(n);

test('versions order as the native side orders them', () => {
  const table = [
    // a, b, expected sign of compare(a, b)
    ['1.10', '1.9', 1],
    ['2.0', '2.0.1', -1],
    ['2.0', '2.0.0', -1],
    ['3.2', '3.2', 0],
    ['01.2', '1.2', 0],
    ['', '', 0],
    ['', '0', -1],
    ['1.0b2', '1.0b10', -1],
    ['1.0b', '1.0a', 1],
    ['1.0', '1.0b1', -1],
    ['10', '9a', 1],
    ['1.a', '1.1', 1],            // "a" (97) after "1" (49), character by character
    ['1 (200)', '1 (1000)', -1],
    // Longer than any number type: by length once leading zeros are gone.
    ['1.' + '9'.repeat(40), '1.1' + '0'.repeat(40), -1],
    ['1.' + '0'.repeat(30) + '5', '1.5', 0],
    ['12345678901234567890123', '12345678901234567890124', -1],
    // Code point order, as UTF-8 bytes order: U+1F600 after U+FF21.
    ['1\u{1F600}', '1\uFF21', 1],
  ];
  for (const [a, b, expected] of table) {
    assert.equal(sign(compareVersions(a, b)), expected, `${a} vs ${b}`);
    assert.equal(sign(compareVersions(b, a)), -expected || 0, `${b} vs ${a}`);
  }
});

test('a product is not installed, has an update, or is up to date', () => {
  const cases = [
    [null, '3.2', STATES.missing],
    [undefined, '3.2', STATES.missing],
    ['3.1.9', '3.2', STATES.update],
    ['3.2', '3.2', STATES.current],
    ['3.10', '3.2', STATES.current],
    ['', '1.0', STATES.update],
  ];
  for (const [installed, available, expected] of cases) {
    assert.equal(productState(installed, available), expected, `${installed} → ${available}`);
  }
  assert.deepEqual(Object.values(STATES).filter(isInstallable), [STATES.missing, STATES.update]);
});
