// Small DOM helpers shared by the views.

import { t } from './i18n.js';
import { ISOLATED, plainText } from './rules.js';

export function $(selector, root = document) {
  return root.querySelector(selector);
}

export function $$(selector, root = document) {
  return [...root.querySelectorAll(selector)];
}

// Static texts live in the markup as keys: data-i18n for the text content,
// data-i18n-title and data-i18n-label for the title and aria-label attributes.
export function translateTree(root, lang) {
  for (const el of $$('[data-i18n]', root)) setText(el, t(lang, el.dataset.i18n));
  for (const el of $$('[data-i18n-title]', root)) el.title = plainText(t(lang, el.dataset.i18nTitle));
  for (const el of $$('[data-i18n-label]', root)) {
    el.setAttribute('aria-label', plainText(t(lang, el.dataset.i18nLabel)));
  }
}

// Avoids touching the DOM when nothing changed, which keeps screen readers
// from re-announcing live regions on every state update. Isolated runs of a
// text (versions, names, brand names in Arabic) become <bdi dir="ltr">: the
// markup keeps their order on screen, where the invisible marks would also be
// read aloud by a screen reader. Other marks (Intl puts them around Latin
// digits in Arabic numbers and dates) go too: those digits keep their order
// without them.
export function setText(el, text) {
  const plain = plainText(text);
  if (!el || el.textContent === plain) return;
  if (!ISOLATED.test(text)) {
    el.textContent = plain;
    return;
  }
  const doc = el.ownerDocument;
  const parts = text.split(ISOLATED).map((part, i) => {
    if (i % 2 === 0) return plainText(part);
    const run = doc.createElement('bdi');
    run.dir = 'ltr';
    run.textContent = plainText(part);
    return run;
  });
  el.replaceChildren(...parts.filter((part) => part !== ''));
}

// A live region's new words go in as a new paragraph: a screen reader hears a
// live region through the elements added to it (WebKitGTK raises no event
// when only the text of an element already there changes).
export function announceIn(live, text) {
  if (!live) return;
  const line = live.ownerDocument.createElement('p');
  setText(line, text);
  live.replaceChildren(line);
}

// An attribute read out as a whole (a label, the window's title) has no
// markup to isolate with; its words are the same without the marks.
export function setLabel(el, text) {
  const plain = plainText(text);
  if (el.getAttribute('aria-label') !== plain) el.setAttribute('aria-label', plain);
}
