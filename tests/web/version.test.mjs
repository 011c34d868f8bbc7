import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';

import { STATES, compareVersions, isInstallable, productState } from '../../web/js/version.js';

// The one table the native rules are checked against too; its Debian rows agree with dpkg.
const ORDER = JSON.parse(readFileSync(new URL('../fixtures/version-order.json', import.meta.url), 'utf8'));

test('versions of each package kind order as the native side orders them', () => {
  for (const kind of ['pkg', 'deb']) {
    assert.ok(ORDER[kind].length > 10, kind);
    for (const [a, b, expected] of ORDER[kind]) {
      assert.equal(Math.sign(compareVersions(a, b, kind)), expected, `${kind}: ${a} vs ${b}`);
      assert.equal(Math.sign(compareVersions(b, a, kind)), -expected || 0, `${kind}: ${b} vs ${a}`);
    }
  }
});

test('a product is not installed, has an update, or is up to date, by its kind\'s order', () => {
  const cases = [
    // The order itself is the table's above; here what each outcome of it means.
    [null, '3.2', 'pkg', STATES.missing],
    [undefined, '3.2', 'deb', STATES.missing],
    ['', '1.0', 'pkg', STATES.update],
    // "~" marks a pre-release for dpkg only.
    ['3.2~rc1', '3.2', 'deb', STATES.update],
    ['3.2~rc1', '3.2', 'pkg', STATES.current],
  ];
  for (const [installed, available, kind, expected] of cases) {
    assert.equal(productState(installed, available, kind), expected, `${kind}: ${installed} → ${available}`);
  }
  assert.deepEqual(Object.values(STATES).filter(isInstallable), [STATES.missing, STATES.update]);
});
