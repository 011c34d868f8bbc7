// The frame around the views: document language and direction, appearance,
// navigation, version and demo marks, and the rules that keep the web view on
// this page (links, form submits, dropped files).

import { $$, setText, translateTree } from '../dom.js';
import { FOCUSABLE, focusHome, wrapTarget } from '../focus.js';
import { dirOf, t } from '../i18n.js';
import { isolateLtr } from '../rules.js';
import { langOf } from '../state.js';

function externalAnchor(event) {
  const target = event.target instanceof Element ? event.target : null;
  return target?.closest('a[href]') ?? null;
}

export function mountShell(app, doc = document) {
  const root = doc.documentElement;
  const navItems = $$('.nav [data-view]', doc);
  const panels = $$('[data-panel]', doc);
  const versions = $$('[data-version]', doc);
  const demoMarks = $$('[data-demo]', doc);

  for (const item of navItems) {
    item.addEventListener('click', () => app.showView(item.dataset.view));
  }

  // Any followed link would be refused by the native navigation policy and
  // leave the user clicking at nothing: send web addresses to the browser
  // instead, and never let an anchor navigate the page itself.
  const onAnchor = (event) => {
    const anchor = externalAnchor(event);
    if (!anchor) return;
    event.preventDefault();
    if (event.type === 'click') app.openLink(anchor.href);
  };
  doc.addEventListener('click', onAnchor, true);
  doc.addEventListener('auxclick', onAnchor, true);
  doc.addEventListener('submit', (event) => event.preventDefault(), true);
  // A file dropped on the window would otherwise be opened in the web view.
  doc.addEventListener('dragover', (event) => event.preventDefault());
  doc.addEventListener('drop', (event) => event.preventDefault());

  // WebKit's own reveal on focus leaves some controls (a text area scrolled
  // past) under the heading or a sticky bar; "nearest" moves only what is not
  // wholly in view, and honours the scrollers' scroll padding.
  doc.addEventListener('focusin', (event) => {
    if (event.target instanceof Element) event.target.scrollIntoView?.({ block: 'nearest', inline: 'nearest' });
  });

  // A control that went away under the focus (a button hidden while its work
  // runs, a field disabled while sending) leaves a screen reader on the body
  // with nothing to say. The views move the focus on purpose where they can;
  // anything they miss goes to the nearest part around it that can take it
  // (its row, the form), and only then to the heading of the view on show.
  let lastFocus = null;
  doc.addEventListener('focusin', (event) => {
    lastFocus = event.target;
  });
  const usable = (el) => el?.isConnected && !el.disabled && el.checkVisibility?.() !== false;
  function keepFocus() {
    const active = doc.activeElement;
    const gone = active && active !== doc.body ? active : lastFocus;
    if (gone === null || usable(gone)) return;
    lastFocus = null;
    const panel = panels.find((p) => !p.hidden);
    (focusHome(gone, usable) ?? panel?.querySelector('h1'))?.focus();
  }

  // The focus never leaves the page by Tab: the window around it could not
  // give it back.
  doc.addEventListener('keydown', (event) => {
    if (event.key !== 'Tab' || event.defaultPrevented || event.ctrlKey || event.altKey || event.metaKey) return;
    const target = wrapTarget($$(FOCUSABLE, doc), doc.activeElement, event.shiftKey, usable);
    if (!target) return;
    event.preventDefault();
    target.focus({ focusVisible: true });
  });

  // Until the native side says which appearance applies (and in a plain
  // browser), the system's preference stands in.
  if (!root.dataset.theme) {
    root.dataset.theme = doc.defaultView?.matchMedia?.('(prefers-color-scheme: dark)').matches ? 'dark' : 'light';
  }

  // If the native side never answers "ready", show the page anyway.
  const bootTimer = setTimeout(() => root.classList.remove('is-booting'), 1500);

  let shownLang = null;

  return function render(state) {
    const lang = langOf(state);
    if (lang !== shownLang) {
      root.lang = lang;
      root.dir = dirOf(lang);
      translateTree(doc.body, lang);
      shownLang = lang;
    }

    if (state.booted) {
      root.dataset.theme = state.osDark ? 'dark' : 'light';
      root.dataset.motion = state.reduceMotion ? 'reduce' : 'full';
      root.dataset.ready = 'true';
      root.classList.remove('is-booting');
      clearTimeout(bootTimer);
    }

    const versionText = state.version ? t(lang, 'app.version', { version: isolateLtr(state.version) }) : '';
    for (const el of versions) setText(el, versionText);
    for (const el of demoMarks) el.hidden = !state.demo;

    for (const item of navItems) {
      if (item.dataset.view === state.view) item.setAttribute('aria-current', 'page');
      else item.removeAttribute('aria-current');
    }
    for (const panel of panels) panel.hidden = panel.dataset.panel !== state.view;
    // After every view has rendered this state.
    queueMicrotask(keepFocus);
  };
}
