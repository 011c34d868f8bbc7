// History view: every install, update, failure and cancellation, newest
// first, as a list a screen reader walks entry by entry: each entry's heading
// is the product, followed by what happened, why, and when. A product's
// newest entry offers to put back the version its update replaced, where the
// native side kept it.

import { $, setText } from '../dom.js';
import { historyWords } from '../history.js';
import { t } from '../i18n.js';
import { activeIds } from '../install.js';
import { isolateLtr } from '../rules.js';
import { langOf } from '../state.js';

// `restore`: the button's words and whether it may be used now, or null. The
// button is described by the entry's heading, so each says whose version.
function entryItem(doc, words, result, restore, index) {
  const item = doc.createElement('li');
  item.className = 'history-entry';
  item.dataset.result = result;
  const name = doc.createElement('h2');
  name.className = 'history-name';
  name.dir = 'auto';
  name.id = `history-entry-${index}`;
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
  if (restore) {
    const button = doc.createElement('button');
    button.type = 'button';
    button.className = 'btn btn-secondary history-restore';
    button.dataset.action = 'restore';
    button.dataset.id = restore.id;
    button.disabled = restore.disabled;
    button.setAttribute('aria-describedby', name.id);
    // One inline run: the button lays its children out apart, as for an icon.
    const label = doc.createElement('span');
    setText(label, restore.text);
    button.append(label);
    item.append(button);
  }
  return item;
}

export function mountHistory(app, doc = document) {
  const panel = $('[data-panel="history"]', doc);
  const list = $('[data-history-list]', panel);
  const empty = $('[data-history-empty]', panel);
  $('[data-action="history-open-log"]', panel).addEventListener('click', () => app.openLog());
  list.addEventListener('click', (event) => {
    const button = event.target.closest('[data-action="restore"]');
    if (button) app.restore(button.dataset.id);
  });

  let shown = null;
  return function render(state, now = Date.now()) {
    const lang = langOf(state);
    const busy = activeIds(state.install).length > 0;
    const key = [state.history, lang, state.catalog.products, state.restorable, busy];
    if (shown && key.every((part, i) => part === shown[i])) return;
    shown = key;
    const entries = state.history ?? [];
    const offered = new Set();
    const items = entries.map((entry, index) => {
      const words = historyWords(lang, entry, state.catalog.products, now);
      const version = state.restorable.get(entry.id);
      let restore = null;
      if (version && !offered.has(entry.id)) {
        offered.add(entry.id);
        const text = t(lang, 'history.restore', { version: isolateLtr(version) });
        restore = { id: entry.id, text, disabled: busy };
      }
      return entryItem(doc, words, entry.result, restore, index);
    });
    list.replaceChildren(...items);
    list.hidden = entries.length === 0;
    empty.hidden = state.history === null || entries.length > 0;
    setText(empty, t(lang, 'history.empty'));
  };
}
