// The history view: asked for when shown and after each result while shown, drawn newest first as
// a list whose entries read name, what happened, why and when, in both languages, with the way
// back to what an update replaced.
import { test } from 'node:test';
import assert from 'node:assert/strict';

import { mountHistory } from '../../web/js/views/history.js';
import { pageDocument } from './dom.mjs';
import { INIT, parsed, product, startApp } from './fixtures.mjs';

// Noon where the tests run: the page tells the time in the user's own zone.
const NOON = new Date(2026, 11, 5, 12).getTime();
const ENTRIES = [
  { time: NOON / 1000, id: 'a', from: '1.0', to: '2.0', kind: 'pkg', result: 'updated' },
  { time: NOON / 1000 - 60, id: 'gone', from: '', to: '3', kind: 'pkg', result: 'failed', error: 'download', reason: 'timeout' },
  { time: 'x', id: 'bad', result: 'updated' },
  { time: 1, id: 'bad', result: 'exploded' },
];

function shown(lang = 'en') {
  const env = startApp({ init: { ...INIT, settings: { lang } } });
  env.app.store.update((s) => ({ ...s, catalog: { ...s.catalog, products: parsed(product({ id: 'a' })) } }));
  const doc = pageDocument();
  const render = mountHistory(env.app, doc);
  env.app.store.subscribe((state) => render(state, NOON));
  const list = doc.querySelector('[data-history-list]');
  const empty = doc.querySelector('[data-history-empty]');
  const read = () => list.querySelectorAll('li').map((li) => li.children.map((c) => c.textContent));
  return { ...env, doc, list, empty, read };
}

test('entries read name, result with versions, reason and time, newest first, in both languages', () => {
  const en = shown('en');
  assert.equal(en.list.hidden, true);
  assert.equal(en.empty.hidden, true, 'nothing claims an empty history before it has come');
  en.receive({ type: 'history', entries: ENTRIES });
  assert.deepEqual(en.read(), [
    ['Presenter', 'Updated · 1.0 → 2.0', 'today at 12:00 PM'],
    ['gone', 'Failed · 3', 'The download server stopped answering. Try again in a moment.', 'today at 11:59 AM'],
  ]);
  assert.equal(Date.parse(en.list.querySelector('time').dateTime), NOON);

  const ar = shown('ar');
  ar.receive({ type: 'history', entries: ENTRIES.slice(0, 1) });
  assert.deepEqual(ar.read()[0].slice(0, 2), ['المقدِّم', 'حُدِّث، من 1.0 إلى 2.0']);
});

test('an empty history says so, and the install log is one click away', () => {
  const { doc, posts, list, empty, receive } = shown();
  receive({ type: 'history', entries: [] });
  assert.deepEqual([list.hidden, empty.hidden, empty.textContent], [true, false, 'Nothing has been installed or updated yet.']);
  doc.querySelector('[data-action="history-open-log"]').click();
  assert.deepEqual(posts, [{ type: 'openLog' }]);
});

test('the newest entry of a product offers its way back, once at a time, and a showcase plays it', () => {
  const { app, posts, list, receive } = shown();
  receive({ type: 'result', id: 'a', ok: true, version: '2.0' });
  app.showView('history');
  const older = { ...ENTRIES[0], time: 1, from: '', to: '1.0', result: 'installed' };
  receive({ type: 'history', entries: [ENTRIES[0], older], restorable: { a: '1.0', gone: '', constructor: 2 } });
  const offers = () => list.querySelectorAll('[data-action="restore"]');
  assert.deepEqual(
    offers().map((b) => [b.textContent, list.querySelectorAll('h2').find((h) => h.id === b.getAttribute('aria-describedby'))?.textContent, b.disabled]),
    [['Restore previous version (1.0)', 'Presenter', false]],
  );
  offers()[0].click();
  assert.deepEqual(posts.at(-1), { type: 'restore', id: 'a' });
  assert.equal(offers()[0].disabled, true, 'nothing else while it runs');
  assert.equal(app.restore('a'), false);
  receive({ type: 'result', id: 'a', ok: true, version: '1.0' });
  app.showView('products');
  receive({ type: 'result', id: 'b', ok: true, version: '1.0' });
  assert.deepEqual(
    posts.map((p) => p.type),
    ['history', 'restore', 'history'],
    'asked for when shown and after a result while shown',
  );

  const played = [];
  const demo = startApp({ init: { ...INIT, demo: true }, later: (ms, fn) => played.push(fn) });
  demo.receive({ type: 'history', entries: [ENTRIES[0]], restorable: { a: '1.0' } });
  assert.equal(demo.app.restore('a'), true);
  while (played.length > 0) played.shift()();
  const { history, restorable, install } = demo.app.snapshot();
  assert.deepEqual(
    [history.map((e) => `${e.result} ${e.from} ${e.to}`), restorable, install.items.a.result],
    [['restored 2.0 1.0', 'updated 1.0 2.0'], {}, { ok: true, version: '1.0' }],
  );
  assert.deepEqual(demo.posts, [{ type: 'restore', id: 'a' }], 'no history asked of a showcase');
});
