// Small DOM helpers shared by the views.

import { t } from './i18n.js';

export function $(selector, root = document) {
  return root.querySelector(selector);
}

export function $$(selector, root = document) {
  return [...root.querySelectorAll(selector)];
}

// Static texts live in the markup as keys: data-i18n for the text content,
// data-i18n-title and data-i18n-label for the title and aria-label attributes.
export function translateTree(root, lang) {
  for (const el of $$('[data-i18n]', root)) el.textContent = t(lang, el.dataset.i18n);
  for (const el of $$('[data-i18n-title]', root)) el.title = t(lang, el.dataset.i18nTitle);
  for (const el of $$('[data-i18n-label]', root)) {
    el.setAttribute('aria-label', t(lang, el.dataset.i18nLabel));
  }
}

// Avoids touching the DOM when nothing changed, which keeps screen readers
// from re-announcing live regions on every state update.
export function setText(el, text) {
  if (el && el.textContent !== text) el.textContent = text;
}
