// A list that may hold tens of thousands of rows. Only the rows near the
// visible part of the window are in the document; the ones above and below
// stand in as empty spacers of their height, so the scroll bar and the
// position of every row are as if all were drawn. Without this, a catalog of
// ten thousand products took seconds to show and gigabytes to keep.
//
// Heights are measured while a row is drawn and remembered; a row never drawn
// counts as the average of those measured. The row holding the keyboard focus
// stays drawn wherever the user scrolls, so focus is never thrown away.

// Lists this short are drawn whole: that costs less than a frame, and find in
// page and a screen reader's browse mode then see every row.
export const DRAWN_WHOLE = 100;
// How far beyond each edge of the window rows are drawn, in CSS pixels: Tab
// and a wheel notch or two reach rows that are already there.
export const MARGIN_PX = 800;
const FIRST_ESTIMATE_PX = 120;

// `build(key, spare)` makes a row's parts (with the row element as `li`),
// taking over the parts of a row that left the window when there is one, and
// `draw(key, parts)` writes the row; `frame(fn)` runs fn before the next
// paint, when the layout can be read.
export function createWindowedList({ list, build, draw, frame }) {
  const doc = list.ownerDocument;
  let keys = [];
  let index = new Map();
  const drawn = new Map();
  const heights = new Map();
  let heightSum = 0;
  let measuredWidth = null;
  const spacers = [];
  let pending = false;

  const estimate = () => (heights.size === 0 ? FIRST_ESTIMATE_PX : heightSum / heights.size);
  function measured(key, height) {
    heightSum += height - (heights.get(key) ?? 0);
    heights.set(key, height);
  }
  function forgetHeights() {
    heights.clear();
    heightSum = 0;
  }

  function focusedKey() {
    const active = doc.activeElement;
    for (const [key, parts] of drawn) if (parts.li.contains(active)) return key;
    return null;
  }

  // The first and the end index of the rows within `top`..`bottom` of the list.
  function rowsWithin(top, bottom) {
    const guess = estimate();
    let y = 0;
    let first = keys.length;
    for (let i = 0; i < keys.length; i++) {
      const end = y + (heights.get(keys[i]) ?? guess);
      if (end > top && first === keys.length) first = i;
      if (y >= bottom) return [first, i];
      y = end;
    }
    return [first, keys.length];
  }

  function spacer(at, from, to) {
    spacers[at] ??= Object.assign(doc.createElement('li'), { className: 'list-spacer' });
    spacers[at].setAttribute('aria-hidden', 'true');
    const guess = estimate();
    let height = 0;
    for (let i = from; i < to; i++) height += heights.get(keys[i]) ?? guess;
    spacers[at].style.height = `${height}px`;
    return spacers[at];
  }

  function layout() {
    pending = false;
    const box = list.getBoundingClientRect();
    // A hidden list (another view in front) has no window to follow.
    if (box.width === 0) return;
    if (measuredWidth !== box.width) forgetHeights();
    measuredWidth = box.width;
    // The topmost row in sight, to hold in place.
    let anchor = null;
    for (const [key, parts] of drawn) {
      const rect = parts.li.getBoundingClientRect();
      measured(key, rect.height);
      if (rect.bottom > 0 && !(anchor?.top <= rect.top)) anchor = { parts, top: rect.top };
    }
    const [first, end] =
      keys.length <= DRAWN_WHOLE
        ? [0, keys.length]
        : rowsWithin(-box.top - MARGIN_PX, doc.defaultView.innerHeight - box.top + MARGIN_PX);
    const wanted = new Set(keys.slice(first, end));
    const focused = focusedKey();
    if (focused !== null) wanted.add(focused);
    const spares = [];
    for (const [key, parts] of drawn) {
      if (wanted.has(key)) continue;
      drawn.delete(key);
      spares.push(parts);
    }
    for (const key of wanted) {
      if (drawn.has(key)) continue;
      const parts = build(key, spares.pop());
      draw(key, parts);
      drawn.set(key, parts);
    }
    place([...wanted].map((key) => index.get(key)).sort((a, b) => a - b));
    // Rows above the window that were only estimated until now would push
    // what the user is reading out of place; the scroll position takes the
    // difference back.
    const moved =
      anchor && anchor.parts.li.parentElement === list ? anchor.parts.li.getBoundingClientRect().top - anchor.top : 0;
    if (moved !== 0) scrollerOf(list)?.scrollBy(0, moved);
  }

  // The children in order: spacers for the gaps, rows where drawn. Rows that
  // stay are never moved, which would take the focus from them.
  function place(at) {
    const children = [];
    let gaps = 0;
    let from = 0;
    for (const i of at) {
      if (i > from) children.push(spacer(gaps++, from, i));
      const { li } = drawn.get(keys[i]);
      li.setAttribute('aria-posinset', String(i + 1));
      li.setAttribute('aria-setsize', String(keys.length));
      children.push(li);
      from = i + 1;
    }
    if (from < keys.length) children.push(spacer(gaps, from, keys.length));
    const keep = new Set(children);
    for (const child of [...list.children]) if (!keep.has(child)) child.remove();
    children.forEach((child, i) => {
      if (list.children[i] !== child) list.insertBefore(child, list.children[i] ?? null);
    });
  }

  // Asks for the window to be worked out again before the next paint.
  function update() {
    if (pending) return;
    pending = true;
    frame(layout);
  }

  // A new order or set of rows; rows of keys that left are dropped.
  function setKeys(next) {
    if (next.length === keys.length && next.every((key, i) => key === keys[i])) return;
    keys = next;
    index = new Map(keys.map((key, i) => [key, i]));
    for (const key of drawn.keys()) if (!index.has(key)) drawn.delete(key);
    update();
  }

  return {
    setKeys,
    update,
    // Writes every drawn row again; `draw` itself skips rows with nothing new.
    redraw() {
      for (const [key, parts] of drawn) draw(key, parts);
    },
    // Heights taken in another language or appearance no longer hold.
    remeasure() {
      forgetHeights();
      update();
    },
    parts: (key) => drawn.get(key),
  };
}

// The nearest box that scrolls the list: which one does depends on the
// window's size (see layout.css).
function scrollerOf(node) {
  const view = node.ownerDocument.defaultView;
  for (let box = node.parentElement; box; box = box.parentElement) {
    if (/auto|scroll/.test(view.getComputedStyle(box).overflowY) && box.scrollHeight > box.clientHeight) return box;
  }
  return node.ownerDocument.scrollingElement;
}
