// A stand-in for the browser's document, enough to mount the products view on the page's own
// markup: elements with attributes, data-*, text and bubbling listeners, selectors of tag and
// attribute tests ([a], [a="v"], [a^="v"], lists), and a layout in which the list's rows are ROW_PX
// tall and a list starts `top` pixels below the window's top. Every change is logged in `writes`.
import { readFileSync } from 'node:fs';

export const ROW_PX = 100;
const VOID = new Set(['input', 'br', 'img', 'meta', 'link', 'use', 'path', 'circle', 'rect']);
const kebab = (key) => `data-${key.replace(/[A-Z]/g, (c) => `-${c.toLowerCase()}`)}`;

function matches(el, selector) {
  return selector.split(',').some((one) => {
    const [, tag, tests] = one.trim().match(/^([a-z0-9]*)(.*)$/);
    return (!tag || el.tagName === tag.toUpperCase()) && [...tests.matchAll(/\[([\w-]+)(\^?=)?"?([^"\]]*)"?\]/g)]
      .every(([, name, op, value]) => el.attrs.has(name) && (!op || (op === '=' ? el.attrs.get(name) === value
        : el.attrs.get(name).startsWith(value))));
  });
}

class Element {
  constructor(doc, tag) {
    Object.assign(this, { ownerDocument: doc, tagName: tag.toUpperCase(), attrs: new Map(), children: [], text: '' });
    Object.assign(this, { parentElement: null, style: {}, hidden: false, top: 0, listeners: {} });
    this.dataset = new Proxy({}, {
      get: (_, key) => this.attrs.get(kebab(key)),
      set: (_, key, value) => (this.setAttribute(kebab(key), value), true),
    });
  }
  log() { this.ownerDocument.writes.push(this); }
  setAttribute(name, value) { this.log(); this.attrs.set(name, String(value)); }
  getAttribute(name) { return this.attrs.get(name) ?? null; }
  removeAttribute(name) { this.log(); this.attrs.delete(name); }
  get firstElementChild() { return this.children[0] ?? null; }
  get textContent() { return this.text + this.children.map((c) => c.textContent).join(''); }
  set textContent(text) { this.log(); this.children = []; this.text = text; }
  insertBefore(node, ref) {
    node.remove();
    this.children.splice(ref ? this.children.indexOf(ref) : this.children.length, 0, node);
    node.parentElement = this;
    this.log();
  }
  append(...nodes) { for (const node of nodes) this.insertBefore(node, null); }
  replaceChildren(...nodes) {
    this.textContent = '';
    this.append(...nodes.map((n) => (typeof n === 'string' ? Object.assign(new Element(this.ownerDocument, '#text'), { text: n }) : n)));
  }
  remove() {
    if (this.parentElement) this.parentElement.children.splice(this.parentElement.children.indexOf(this), 1);
    this.parentElement = null;
  }
  contains(node) { for (let n = node; n; n = n.parentElement) if (n === this) return true; return false; }
  matches(selector) { return matches(this, selector); }
  closest(selector) { for (let n = this; n; n = n.parentElement) if (n.matches(selector)) return n; return null; }
  querySelectorAll(selector) { return this.children.flatMap((c) => [...(c.matches(selector) ? [c] : []), ...c.querySelectorAll(selector)]); }
  querySelector(selector) { return this.querySelectorAll(selector)[0] ?? null; }
  addEventListener(type, fn) { (this.listeners[type] ??= []).push(fn); this.ownerDocument.listening++; }
  dispatch(type) { for (let n = this; n; n = n.parentElement) for (const fn of n.listeners[type] ?? []) fn({ type, target: this }); }
  click() { this.dispatch('click'); }
  focus() { this.ownerDocument.activeElement = this; }
  getBoundingClientRect() {
    let shown = this.ownerDocument.body.contains(this);
    for (let n = this; n; n = n.parentElement) shown &&= !n.hidden;
    const list = this.tagName === 'LI' ? this.parentElement : this;
    const before = this === list ? [] : list.children.slice(0, list.children.indexOf(this));
    const height = (li) => (li.className === 'list-spacer' ? parseFloat(li.style.height) : ROW_PX);
    const top = list.top + before.reduce((sum, li) => sum + height(li), 0);
    const own = this === list ? list.children.reduce((sum, li) => sum + height(li), 0) : height(this);
    return { width: shown ? 800 : 0, top, height: own, bottom: top + own };
  }
}

// The page's markup as a document; `frame` runs what the page asks to run before a paint.
export function pageDocument() {
  const doc = { writes: [], listening: 0, title: '', listeners: {} };
  doc.defaultView = { innerHeight: 600, addEventListener: () => doc.listening++ };
  doc.createElement = (tag) => new Element(doc, tag);
  doc.createElementNS = (_, tag) => new Element(doc, tag);
  doc.addEventListener = (type, fn) => { (doc.listeners[type] ??= []).push(fn); doc.listening++; };
  doc.body = doc.createElement('body');
  const html = readFileSync(new URL('../../web/index.html', import.meta.url), 'utf8').replace(/<!--[\s\S]*?-->/g, '');
  let open = doc.body;
  for (const [, close, tag, attrs, selfClosing] of html.matchAll(/<(\/?)([a-zA-Z][\w-]*)([^>]*?)(\/?)>/g)) {
    if (['html', 'head', 'body'].includes(tag.toLowerCase())) continue;
    if (close) { open = open.parentElement; continue; }
    const el = doc.createElement(tag);
    for (const [, name, value] of attrs.matchAll(/([\w:-]+)(?:="([^"]*)")?/g)) el.attrs.set(name, value ?? '');
    el.hidden = el.attrs.has('hidden');
    open.append(el);
    if (!selfClosing && !VOID.has(tag.toLowerCase())) open = el;
  }
  doc.querySelector = (selector) => doc.body.querySelector(selector);
  doc.querySelectorAll = (selector) => doc.body.querySelectorAll(selector);
  doc.activeElement = doc.body;
  doc.writes.length = 0;
  return doc;
}
