// Products view. For now: the check button and its status line, and the two
// product groups, which stay empty until the catalog is read.

import { $, $$, setText } from '../dom.js';
import { checkStatus } from '../check.js';
import { langOf } from '../state.js';

export function mountProducts(app, doc = document) {
  const panel = $('[data-panel="products"]', doc);
  const button = $('[data-action="check"]', panel);
  const status = $('[data-check-status]', panel);
  const statusText = $('[data-check-text]', status);
  const groups = $$('[data-group]', panel);

  button.addEventListener('click', () => app.checkForUpdates());

  return function render(state) {
    const lang = langOf(state);
    const { state: phase, text } = checkStatus(lang, state.check, Date.now());
    status.dataset.state = phase;
    setText(statusText, text);
    button.setAttribute('aria-busy', String(state.check.running));

    for (const group of groups) {
      const list = $('[data-group-list]', group);
      $('[data-group-empty]', group).hidden = list.children.length > 0;
      list.hidden = list.children.length === 0;
    }
  };
}
