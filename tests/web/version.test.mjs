import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';

import { compareVersions } from '../../web/js/version.js';

// The one table the native rules are checked against too; its Debian rows agree with dpkg, its
// RPM rows with librpm.
const ORDER = JSON.parse(readFileSync(new URL('../fixtures/version-order.json', import.meta.url), 'utf8'));

test('versions of each package kind order as the native side orders them', () => {
  for (const kind of ['pkg', 'deb', 'rpm']) {
    assert.ok(ORDER[kind].length > 10, kind);
    for (const [a, b, expected] of ORDER[kind]) {
      assert.equal(Math.sign(compareVersions(a, b, kind)), expected, `${kind}: ${a} vs ${b}`);
      assert.equal(Math.sign(compareVersions(b, a, kind)), -expected || 0, `${kind}: ${b} vs ${a}`);
    }
  }
});
