// The products list as a user reads it: what the header and the buttons say,
// what Cancel and "Retry failed" ask for, and a long list drawn near the window.
import { test } from 'node:test';
import assert from 'node:assert/strict';

import { ERRORS, REASONS, batchPosition, batchSummary } from '../../web/js/install.js';
import { pendingUpdates, productRows } from '../../web/js/inventory.js';
import { failureCause, failureMessage, updateAllLabel, updatesHeadline, windowTitle } from '../../web/js/messages.js';
import { plainText } from '../../web/js/rules.js';
import { isOpen } from '../../web/js/views/product-row.js';
import { mountProducts } from '../../web/js/views/products.js';
import { pageDocument } from './dom.mjs';
import { parseCatalog } from '../../web/js/catalog.js';
import { policyShows } from '../../web/js/state.js';
import { INIT, VENDOR, doc, parsed, product, startApp } from './fixtures.mjs';

const CATALOG = parsed(
  product({ id: 'a', version: '2.0', size: 1_500_000 }),
  product({ id: 'b', version: '2.0', size: 2_000_000 }),
  product({ id: 'x', group: 'addin', version: '1.0' }),
  product({ id: 'c', version: '2.0', size: 40_000_000 }),
  product({ id: 'y', group: 'addin', version: '1.0' }),
);

// The app after a check that found `installed`.
async function checked(installed, now = () => 0, options = {}) {
  const env = startApp({ now, runCheck: async () => ({ ok: true, products: CATALOG, installed: new Map(Object.entries(installed)) }), ...options });
  await env.app.checkForUpdates();
  env.posts.length = 0;
  return env;
}

test('the header and "Update all" count the updates and their size in both languages', async () => {
  const cases = [
    [{ a: '1.0', b: '1.0' }, 'en', '2 updates available · 3.5 MB', 'Update all (2 · 3.5 MB)'],
    [{ c: '1.0', a: '2.0' }, 'en', '1 update available · 40 MB', 'Update all (1 · 40 MB)'],
    [{ a: '2.0', b: '2.0', c: '2.0' }, 'en', 'Everything is up to date', 'Update all'],
    [{ a: '1.0', b: '1.0' }, 'ar', 'التحديثات المتوفرة: 2 · 3.5 ميغابايت', 'تحديث الكل (2 · 3.5 ميغابايت)'],
  ];
  for (const [installed, lang, headline, button] of cases) {
    const pending = pendingUpdates(productRows((await checked(installed)).app.store.get()));
    assert.deepEqual([updatesHeadline(lang, pending), updateAllLabel(lang, pending)], [headline, button]);
  }
});

test('Cancel asks the native side only before the password, Stop waiting only while the installer has the item', async () => {
  const env = await checked({ a: '1.0', b: '1.0' }, () => 0, { later: (ms, fn) => fn() });
  env.app.updateAll();
  env.receive({ type: 'progress', id: 'a', phase: 'password', pct: 100 });
  const answers = [env.app.cancelInstall('a'), env.app.cancelInstall('x'), env.app.cancelInstall('b'), env.app.cancelAll()];
  assert.deepEqual([answers, env.posts.slice(1)], [[false, false, true, true], [{ type: 'cancel', id: 'b' }, { type: 'cancel' }]]);
  env.receive({ type: 'progress', id: 'a', phase: 'installer', pct: 100 });
  assert.deepEqual([env.app.stopWaiting('b'), env.app.stopWaiting('a'), env.posts.at(-1)], [false, true, { type: 'stopWaiting', id: 'a' }]);
});

test('install events within half a second of a drawn one show together at its end; "Retry failed" asks again for the failed and the silent items only', async () => {
  let clock = 0;
  const timers = [];
  const env = await checked({ a: '1.0', b: '1.0', c: '1.0' }, () => clock, { later: (ms, fn) => timers.push([ms, fn]) });
  env.app.updateAll();
  assert.deepEqual(windowTitle('en', batchPosition(batchSummary(env.app.store.get().install))), 'Installing 1 of 3 — TALVEN™ Suite');
  env.receive({ type: 'result', id: 'b', ok: false, error: 'download', reason: 'dns' });
  clock = 100;
  env.receive({ type: 'progress', id: 'a', phase: 'download', pct: 50, resumedAt: 40 });
  env.receive({ type: 'result', id: 'c', ok: true, version: '2.0' });
  env.receive({ type: 'progress', id: 'c', phase: 'download', pct: 20 });
  env.receive({ type: 'progress', id: 'a', phase: 'download', pct: 90 });
  const item = (id) => env.app.store.get().install.items.get(id);
  assert.deepEqual([item('a').phase, item('c').result, timers.map(([ms]) => ms)], ['queued', null, [400]]);
  clock = 500;
  timers[0][1]();
  assert.deepEqual([item('a').pct, item('a').resumedAt, item('a').at, item('c').result.ok], [90, 40, 100, true]);
  clock = 200_000;
  env.app.tick();
  assert.deepEqual([env.app.retryFailed(), env.posts.at(-1).items.map((i) => i.id)], [true, ['a', 'b']]);
});

test('the install phase tells which package is in the run, and the installer\'s reason names what it found', async () => {
  const timers = [];
  const env = await checked({ a: '1.0', b: '1.0', c: '1.0' }, () => 0, { later: (ms, fn) => timers.push(fn) });
  env.app.updateAll();
  for (const id of ['a', 'b']) env.receive({ type: 'progress', id, phase: 'install', pct: 0 });
  env.receive({ type: 'progress', id: 'a', phase: 'install', pct: 40 });
  env.receive({ type: 'progress', id: 'a', phase: 'install', pct: 0 });
  env.receive({ type: 'result', id: 'b', ok: false, error: 'install', reason: 'dependency', detail: 'talven-lib' });
  env.receive({ type: 'result', id: 'c', ok: false, error: 'install', reason: 'conflict' });
  for (const flush of timers) flush();
  const item = (id) => env.app.store.get().install.items.get(id);
  assert.deepEqual([item('a').phase, item('a').pct], ['install', 40]);
  assert.deepEqual(
    [failureMessage('en', item('b').result), failureMessage('ar', item('b').result), failureMessage('en', item('c').result)],
    ['It needs \u2066talven-lib\u2069, which cannot be installed on this system. Nothing was changed.',
      'يحتاج إلى \u2066talven-lib\u2069، ولا يمكن تثبيته على هذا النظام. لم يتغيّر شيء.',
      'It cannot be installed beside software that is installed. Nothing was removed.']);
});

// The view on the page's markup with `n` products, every other one with an update.
async function shown(n, options = {}) {
  const many = Array.from({ length: n }, (_, i) => product({ id: `p${i}`, version: '2.0' }));
  const installed = new Map(many.map((p, i) => [p.id, i % 2 ? '2.0' : '1.0']));
  const env = startApp({ runCheck: async () => ({ ok: true, products: parsed(...many), installed }), ...options });
  const doc = pageDocument();
  env.app.store.subscribe(mountProducts(env.app, doc, (fn) => fn()));
  await env.app.checkForUpdates();
  const list = doc.querySelector('[data-group="app"]').querySelector('[data-group-list]');
  const drawn = () => list.querySelectorAll('[data-product]');
  return { ...env, doc, list, drawn, row: (id) => list.querySelector(`[data-product="${id}"]`) };
}

test('a long list draws the rows near the window and the focused one, with one listener per list', async () => {
  const { doc, list, drawn } = await shown(1000);
  const listening = doc.listening;
  const at = () => drawn().map((li) => Number(li.getAttribute('aria-posinset')));
  assert.deepEqual([at()[0], at().length < 30, drawn()[0].getAttribute('aria-setsize')], [1, true, '1000']);
  drawn()[2].querySelector('[data-install]').focus();
  const idsBefore = new Map(drawn().map((li) => [li, li.dataset.product]));
  const details = (li) => li.querySelector('[data-failure-details]');
  details(drawn()[5]).firstElementChild.click();
  assert.equal(isOpen(details(drawn()[5])), true);
  list.top = -50_000;
  doc.listeners.scroll.forEach((fn) => fn());
  assert.ok(at().includes(3) && at().includes(501) && at().length < 30, String(at()));
  // The rows that left the window are those drawn for the ones that came in, closed again.
  const moved = drawn().filter((li) => idsBefore.has(li) && idsBefore.get(li) !== li.dataset.product);
  assert.equal(moved.length, idsBefore.size - 1);
  assert.ok(moved.every((li) => !isOpen(details(li)) && details(li).children[1].hidden));
  assert.equal(doc.listening, listening, 'drawing rows adds no listeners');
});

test('a row\'s buttons act on their product, and its progress is written into that row alone', async () => {
  const { app, doc, drawn, posts, receive, row } = await shown(1000, { later: (ms, fn) => fn() });
  const [id, other] = drawn().map((li) => li.dataset.product);
  row(id).querySelector('[data-install]').click();
  assert.deepEqual([posts.at(-1).items.map((i) => i.id), row(id).contains(doc.activeElement)], [[id], true]);
  doc.writes.length = 0;
  receive({ type: 'progress', id, phase: 'download', pct: 40 });
  const lists = doc.querySelectorAll('[data-group-list]');
  const touched = doc.writes.filter((el) => lists.some((ul) => ul.contains(el)));
  assert.ok(touched.length > 0 && touched.every((el) => row(id).contains(el)));
  const stop = row(id).querySelector('[data-stop-waiting]');
  assert.equal(stop.hidden, true);
  receive({ type: 'progress', id, phase: 'installer', pct: 100 });
  stop.click();
  assert.deepEqual([stop.hidden, stop.textContent, posts.at(-1)], [false, 'Stop waiting', { type: 'stopWaiting', id }]);
  // The bulk actions take every product, drawn or not, and none on its way.
  const box = row(other).querySelector('[data-select]');
  box.checked = true;
  box.dispatch('change');
  app.setSelected('p998', true);
  assert.deepEqual([app.installSelected(), posts.at(-1).items.map((i) => i.id)], [true, [other, 'p998']]);
  assert.equal(app.updateAll(), true);
  assert.equal(posts.at(-1).items.length, 500 - 3);
});

// What a screen reader meets in a row: no direction marks read aloud (Latin runs are <bdi>), a bar
// that cannot be measured has no value, and a failure says what went wrong in the page's language
// while the bridge's word stays on the row for the log and for support.
test('a row in Arabic reads without direction marks, its wait without a value, its failure in words', async () => {
  const { receive, row, list } = await shown(4, { init: { ...INIT, osLang: 'ar' }, later: (ms, fn) => fn() });
  const bar = row('p0').querySelector('[role="progressbar"]');
  const bounds = () => ['aria-valuenow', 'aria-valuemin', 'aria-valuemax'].map((name) => bar.getAttribute(name));
  row('p0').querySelector('[data-install]').click();
  receive({ type: 'progress', id: 'p0', phase: 'download', pct: 40 });
  assert.deepEqual(bounds(), ['40', '0', '100']);
  assert.doesNotMatch(list.textContent, /[\u200e\u200f\u2066-\u2069]/);
  receive({ type: 'progress', id: 'p0', phase: 'password', pct: 100 });
  assert.deepEqual(bounds(), [null, null, null]);
  receive({ type: 'result', id: 'p0', ok: false, error: 'download', reason: 'space' });
  const details = row('p0').querySelector('[data-failure-details]');
  assert.deepEqual([details.dataset.reason, details.querySelector('p').textContent], ['space', failureCause('ar', { reason: 'space' })]);
  assert.doesNotMatch(list.textContent, /[\u200e\u200f\u2066-\u2069]/);
  assert.equal(row('p0').querySelector('dd').querySelector('bdi').textContent, '1.0');
});

test('every failure has its own sentence in both languages, and none shows a code or a key', () => {
  const results = [
    ...REASONS.map((reason) => ({ error: 'download', reason })),
    { error: 'download', reason: 'http-503' },
    ...ERRORS.map((error) => ({ error })),
    { error: 'made-up' },
  ];
  for (const lang of ['en', 'ar']) {
    const causes = results.map((result) => plainText(failureCause(lang, result)));
    assert.equal(new Set(causes).size, causes.length, lang);
    for (const cause of causes) assert.match(cause, lang === 'en' ? /^[A-Z][^{}]+\.$/ : /^[^A-Za-z{}]+\.$/, cause);
    assert.match(causes[REASONS.length], /503/);
  }
});

test('an open product\'s row says so in both languages, tries again when asked or on return, and updates anyway on request', async () => {
  for (const [lang, words] of [
    ['en', 'Presenter is open: close it to update, or update anywayTry againUpdate anyway'],
    ['ar', 'المقدِّم مفتوح: أغلقه لتحديثه، أو حدِّثه على أي حالأعد المحاولةحدِّث على أي حال'],
  ]) {
    const { app, posts, receive, row } = await shown(4, { init: { ...INIT, osLang: lang }, later: (ms, fn) => fn() });
    app.updateAll();
    receive({ type: 'result', id: 'p0', ok: false, error: 'running' });
    receive({ type: 'result', id: 'p2', ok: false, error: 'install' });
    const shows = (id) => ['[data-outcome]', '[data-anyway]', '[data-failure-details]'].map((part) => row(id).querySelector(part));
    const [outcome, anyway, details] = shows('p0');
    assert.deepEqual([row('p0').dataset.install, outcome.textContent, anyway.hidden, details.hidden], ['open', words, false, true]);
    assert.equal(shows('p2')[1].hidden, true, 'only an open product is updated anyway');
    // On return only the open product is asked for again, and without "anyway".
    app.recheckOpen();
    assert.deepEqual([posts.at(-1).items.map((i) => i.id), posts.at(-1).anyway], [['p0'], undefined], lang);
    receive({ type: 'result', id: 'p0', ok: false, error: 'running' });
    anyway.click();
    assert.deepEqual([posts.at(-1).items.map((i) => i.id), posts.at(-1).anyway, anyway.hidden], [['p0'], true, true]);
  }
});

test('a product the administrator holds at another version is not offered, and feedback may go without files', async () => {
  const policy = {
    settings: {},
    held: { a: '1.0', b: '2.0' },
    hidden: ['secret'],
    allowed: ['a', 'b', 'me'],
    selfUpdate: false,
    feedbackAttachments: false,
  };
  const env = await checked({ a: '1.0', b: '1.0' }, () => 0, { init: { ...INIT, policy } });
  const rows = productRows(env.app.store.get());
  const row = (id) => rows.find((r) => r.product.id === id);
  assert.deepEqual(
    [row('a').state, row('a').selectable, row('b').state, row('b').selectable],
    ['held', false, 'update', true],
  );
  assert.deepEqual(pendingUpdates(rows).count, 1);
  assert.equal(env.app.store.get().policy.attachments, false);
  // Hidden, not allowed, or the program itself with self-update off: not in the list at all.
  const listed = parseCatalog(
    doc([product({ id: 'secret' }), product({ id: 'a' }), product({ id: 'z' }), product({ id: 'me', self: true })]),
    VENDOR,
    (p) => policyShows(env.app.store.get().policy, p),
  );
  assert.deepEqual(
    listed.products.map((p) => p.id),
    ['a'],
  );
});
