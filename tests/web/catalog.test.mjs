import { test } from 'node:test';
import assert from 'node:assert/strict';

import { catalogItem, parseCatalog, productFor } from '../../web/js/catalog.js';
import { DEB, HEX, PKG, RPM, VENDOR, doc, product } from './fixtures.mjs';

test('a valid document gives products with native keys normalised, display fields kept, and items for the native side', () => {
  const result = parseCatalog(doc([
    product({ sha256: HEX.toUpperCase(), url: 'https://Downloads.BRENLOW.example/suite/presenter.pkg', self: true }),
    product({ id: 'talven.addin.timer', group: 'addin', detect: { receipts: ['com.brenlow.timer'] },
      notes: { en: 'New.', ar: 'جديد.' }, unknown: 'ignored' }),
    // Edge values that pass: sub-domains with a port, capital .PKG, size zero, the bare vendor host.
    product({ id: 'a', url: 'https://mirror.downloads.brenlow.example:8443/a.pkg', file: 'A.PKG', size: 0 }),
    product({ id: 'b', url: 'https://brenlow.example/b.pkg' }),
    // With "packages", the members beside it are not this product's package; unknown kinds are ignored.
    product({ id: 'c', version: '0.1', packages: { pkg: { ...PKG, version: '5.0' }, deb: { ...DEB, file: 'c.DEB' }, snap: 1 } }),
  ]), VENDOR);
  assert.deepEqual([result.ok, result.problems, result.products.length], [true, [], 5]);
  const [app, addin, , bare, both] = result.products.map((p) => productFor(p, 'pkg'));
  assert.deepEqual(
    [app.sha256, app.url, app.self, app.detect, app.notes],
    [HEX, 'https://downloads.brenlow.example/suite/presenter.pkg', true, { apps: ['TALVEN Presenter.app'], receipts: [] }, null]);
  assert.deepEqual([addin.detect, addin.self, addin.notes, addin.size],
    [{ apps: [], receipts: ['com.brenlow.timer'] }, false, { en: 'New.', ar: 'جديد.' }, 1234]);
  assert.equal('unknown' in addin, false);
  assert.deepEqual([productFor(result.products[0], 'deb'), Object.keys(result.products[4].packages), both.version],
    [null, ['pkg', 'deb'], '5.0']);

  // The item sent to the native side has exactly the keys it reads, detached from the product.
  const item = catalogItem(bare);
  assert.deepEqual(item, {
    id: 'b', group: 'app', detect: { apps: ['TALVEN Presenter.app'], receipts: [] },
    version: '4.2.0', url: 'https://brenlow.example/b.pkg', file: 'presenter.pkg', sha256: HEX, size: 1234,
    self: false,
  });
  item.detect.apps.push('Other.app');
  assert.deepEqual(bare.detect.apps, ['TALVEN Presenter.app']);
  // A Debian package is found by its package names only.
  assert.deepEqual(catalogItem(productFor(result.products[4], 'deb')), {
    id: 'c', group: 'app', detect: { apps: [], receipts: ['talven-presenter'] },
    version: '4.2.0-1', url: DEB.url, file: 'c.DEB', sha256: HEX, size: 999, self: false,
  });
  // ... and opened by the desktop entry it names, when it names one.
  const launched = parseCatalog(doc([product({ packages: { deb: {
    ...DEB, detect: { receipts: ['talven-presenter'], desktop: 'com.brenlow.Presenter.desktop' } } } })]), VENDOR);
  assert.deepEqual(catalogItem(productFor(launched.products[0], 'deb')).detect,
    { apps: [], receipts: ['talven-presenter'], desktop: 'com.brenlow.Presenter.desktop' });
  // Mirrors go with the item, each held to the vendor rule of its first address.
  const mirrored = parseCatalog(doc([product({ packages: { deb: { ...DEB, mirrors: [
    'https://mirror.brenlow.example/c.deb', 'https://evil.example/c.deb', 'http://brenlow.example/c.deb', 7] } } })]), VENDOR);
  assert.deepEqual(catalogItem(productFor(mirrored.products[0], 'deb')).mirrors, ['https://mirror.brenlow.example/c.deb']);
  // The vendor host is the native side's: without one, or with another, no package is trusted.
  assert.deepEqual([undefined, '', 'other.example'].map((host) => parseCatalog(doc([product()]), host).products.length), [0, 0, 0]);
});

test('each malformed product is skipped with its reason and the others are kept', () => {
  const bad = [
    ['not an object', 'just text', /not an object/],
    ['id missing', product({ id: undefined }), /"id"/],
    ['unknown group', product({ group: 'plugin' }), /"group"/],
    ['empty version', product({ version: ' ' }), /"version"/],
    ['plain http', product({ url: 'http://brenlow.example/a.pkg' }), /https/],
    ['other host', product({ url: 'https://example.com/a.pkg' }), /on brenlow\.example/],
    ['look-alike host', product({ url: 'https://evilbrenlow.example/a.pkg' }), /on brenlow\.example/],
    ['credentials', product({ url: 'https://me:pw@brenlow.example/a.pkg' }), /user name/],
    ['file with folder', product({ file: 'x/a.pkg' }), /"file"/],
    ['file with backslash', product({ file: 'x\\a.pkg' }), /"file"/],
    ['file dot-dot', product({ file: '..' }), /"file"/],
    ['file not a package', product({ file: 'a.dmg' }), /"file"/],
    ['short digest', product({ sha256: 'abc' }), /"sha256"/],
    ['detect empty', product({ detect: { apps: [], receipts: [] } }), /names no application/],
  ];
  for (const [label, raw, reason] of bad) {
    const result = parseCatalog(doc([product({ id: 'good.one' }), raw, product({ id: 'good.two' })]), VENDOR);
    assert.equal(result.ok, true, label);
    assert.deepEqual(result.products.map((p) => p.id), ['good.one', 'good.two'], label);
    assert.equal(result.problems.length, 1, label);
    assert.match(result.problems[0], /^product 2\b.*skipped/, label);
    assert.match(result.problems[0], reason, label);
  }
});

test('a broken package is dropped with its reason, and its product stays for the other kind', () => {
  const bad = [
    ['Debian file not a .deb', { deb: { ...DEB, file: 'presenter.pkg' } }, /"file" .* ending in "\.deb"/],
    ['installer file not a .pkg', { pkg: { ...PKG, file: 'presenter.deb' } }, /"file" .* ending in "\.pkg"/],
    ['Debian package found by applications only', { deb: { ...DEB, detect: { apps: ['A.app'] } } }, /name a Debian package/],
    ['not a Debian package name', { deb: { ...DEB, detect: { receipts: ['Talven'] } } }, /Debian package names/],
    ['Debian name of one letter', { deb: { ...DEB, detect: { receipts: ['t'] } } }, /Debian package names/],
    ['desktop entry given as a path', { deb: { ...DEB, detect: { receipts: ['talven-presenter'], desktop: '/usr/share/applications/p.desktop' } } }, /desktop file id/],
    ['desktop entry as a command', { deb: { ...DEB, detect: { receipts: ['talven-presenter'], desktop: 'sh -c x.desktop' } } }, /desktop file id/],
    ['Debian package from another host', { deb: { ...DEB, url: 'https://example.com/a.deb' } }, /on brenlow/],
    ['Debian package for no architecture', { deb: { ...DEB, arch: undefined } }, /"arch" must be/],
    ['RPM file not a .rpm', { rpm: { ...RPM, file: 'presenter.deb' } }, /"file" .* ending in "\.rpm"/],
    ['RPM architecture as dpkg names it', { rpm: { ...RPM, arch: 'x86-64' } }, /"arch" must be an rpm architecture name or "noarch"/],
    ['RPM version without its release', { rpm: { ...RPM, version: '4.2.0' } }, /"version" must be an RPM version/],
    ['RPM version with a blank', { rpm: { ...RPM, version: '4.2.0 -1' } }, /"version" must be an RPM version/],
    ['RPM name too long', { rpm: { ...RPM, detect: { receipts: ['p'.repeat(201)] } } }, /RPM package names/],
    ['RPM package found by no name', { rpm: { ...RPM, detect: { receipts: [] } } }, /must name an RPM package/],
  ];
  for (const [label, broken, reason] of bad) {
    const result = parseCatalog(doc([product({ packages: { pkg: PKG, deb: DEB, rpm: RPM, ...broken } })]), VENDOR);
    const [kind] = Object.keys(broken);
    assert.deepEqual(Object.keys(result.products[0].packages), ['pkg', 'deb', 'rpm'].filter((k) => k !== kind), label);
    assert.equal(result.problems.length, 1, label);
    assert.match(result.problems[0], new RegExp(`^product 1 \\("talven.presenter"\\) package "${kind}" dropped: `), label);
    assert.match(result.problems[0], reason, label);
  }
  // Nothing usable left: the product is left out.
  for (const [packages, reason] of [[{ deb: { ...DEB, sha256: 'x' } }, /no usable package/], [{ snap: DEB }, /no usable/],
    [{ pkg: [PKG] }, /no usable/], [[DEB], /"packages" must be an object/]]) {
    const result = parseCatalog(doc([product({ packages }), product({ id: 'other' })]), VENDOR);
    assert.deepEqual(result.products.map((p) => p.id), ['other'], JSON.stringify(packages));
    assert.match(result.problems.at(-1), /^product 1 \("talven.presenter"\) skipped: /);
    assert.match(result.problems.at(-1), reason);
  }
});

// The other kind's word for every machine comes before the kind's own, and is passed over.
test('a Linux host takes its first package for its architecture or for every one, and without an architecture the first', () => {
  for (const [kind, base, names, foreign, unknown] of [
    ['deb', DEB, ['AMD64', 'arm64', 'amd64', 'all'], 'noarch', 'riscv64'],
    ['rpm', RPM, ['x86-64', 'aarch64', 'x86_64', 'noarch'], 'all', 'ppc64le'],
  ]) {
    const [bad, other, mine, every] = names.map((arch, i) => ({ ...base, arch, version: `${i}-1` }));
    const result = parseCatalog(doc([product({ packages: { [kind]: [bad, other, { ...every, arch: foreign }, mine, every] } })]), VENDOR);
    assert.match(result.problems.join(), new RegExp(`^product 1 \\("talven.presenter"\\) package "${kind}" 1 dropped: "arch" must be`));
    const versions = [mine.arch, unknown, ''].map((arch) => productFor(result.products[0], kind, arch).version);
    assert.deepEqual(versions, [mine.version, every.version, other.version], kind);
  }
});

test('a Linux package\'s "processes" reach the install item; a list the rules refuse costs only the check', () => {
  const open = ['/opt/talven/presenter/bin/presenter', '/usr/lib/talven/présenter helper', `/${'p'.repeat(4094)}`];
  const paths = ['opt/p', '/opt/../p', '/opt//p', '/opt/p/', '/opt/p\n', 7, `/${'é'.repeat(2048)}`];
  const lists = [...paths.map((path) => [path]), Array.from({ length: 17 }, (_, n) => `/opt/p${n}`), '/opt/p'];
  for (const processes of lists) {
    const packages = { deb: [{ ...DEB, arch: 'amd64' }, { ...DEB, processes }], rpm: { ...RPM, processes } };
    const result = parseCatalog(doc([product({ packages })]), VENDOR);
    const label = JSON.stringify(processes).slice(0, 40);
    assert.deepEqual(result.problems.map((p) => p.split(':')[0]), ['deb" 2', 'rpm"'].map((k) =>
      `product 1 ("talven.presenter") package "${k} "processes" dropped`), label);
    assert.match(result.problems[0], /at most 16 absolute paths|absolute paths of at most 4095 bytes/, label);
    for (const kind of ['deb', 'rpm']) assert.equal(catalogItem(productFor(result.products[0], kind, 'all')).processes, undefined, label);
  }
  const packages = { pkg: { ...PKG, processes: open }, deb: { ...DEB, processes: open }, rpm: { ...RPM, processes: open.slice(2) } };
  const [read] = parseCatalog(doc([product({ packages })]), VENDOR).products;
  assert.deepEqual(catalogItem(productFor(read, 'deb', 'amd64')).processes, open);
  assert.deepEqual(catalogItem(productFor(read, 'rpm', 'x86_64')).processes, open.slice(2));
  assert.equal(catalogItem(productFor(read, 'pkg')).processes, undefined, 'an installer package has no processes');
});
