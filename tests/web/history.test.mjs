// The history view: asked for when shown and after each result while shown, drawn newest first as
// a list whose entries read name, what happened, why and when, in both languages.
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

test('the history is asked for when shown and after a result only while it is shown', () => {
  const { app, posts, receive } = shown();
  receive({ type: 'result', id: 'a', ok: true, version: '2.0' });
  app.showView('history');
  receive({ type: 'result', id: 'a', ok: true, version: '2.0' });
  app.showView('products');
  receive({ type: 'result', id: 'a', ok: true, version: '2.0' });
  assert.deepEqual(
    posts.map((p) => p.type),
    ['history', 'history'],
  );
});

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
