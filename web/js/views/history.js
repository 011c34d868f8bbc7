// History view: every install, update, failure and cancellation, newest
// first, as a list a screen reader walks entry by entry: each entry's heading
// is the product, followed by what happened, why, and when.

import { $, setText } from '../dom.js';
import { historyWords } from '../history.js';
import { t } from '../i18n.js';
import { langOf } from '../state.js';

function entryItem(doc, words, result) {
  const item = doc.createElement('li');
  item.className = 'history-entry';
  item.dataset.result = result;
  const name = doc.createElement('h2');
  name.className = 'history-name';
  name.dir = 'auto';
  setText(name, words.name);
  const summary = doc.createElement('p');
  summary.className = 'history-summary';
  setText(summary, words.summary);
  item.append(name, summary);
  if (words.reason) {
    const reason = doc.createElement('p');
    reason.className = 'history-reason';
    setText(reason, words.reason);
    item.append(reason);
  }
  const when = doc.createElement('time');
  when.className = 'history-time';
  when.dateTime = words.iso;
  setText(when, words.when);
  item.append(when);
  return item;
}

export function mountHistory(app, doc = document) {
  const panel = $('[data-panel="history"]', doc);
  const list = $('[data-history-list]', panel);
  const empty = $('[data-history-empty]', panel);
  $('[data-action="history-open-log"]', panel).addEventListener('click', () => app.openLog());

  let shown = null;
  return function render(state, now = Date.now()) {
    const lang = langOf(state);
    const key = [state.history, lang, state.catalog.products];
    if (shown && key.every((part, i) => part === shown[i])) return;
    shown = key;
    const entries = state.history ?? [];
    const items = entries.map((entry) =>
      entryItem(doc, historyWords(lang, entry, state.catalog.products, now), entry.result),
    );
    list.replaceChildren(...items);
    list.hidden = entries.length === 0;
    empty.hidden = state.history === null || entries.length > 0;
    setText(empty, t(lang, 'history.empty'));
  };
}
