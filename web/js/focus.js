// Where the keyboard goes when the page's own order runs out or a control
// goes away under it. Pure rules over elements; the shell applies them.
//
// Past the last control (or before the first) the engine hands the focus to
// the window around the page, which has nothing to take it and never gives it
// back: the user is left without any focus at all. So the order wraps inside
// the page instead.

// Everything that can hold the focus, in document order; tabindex="-1" marks
// the containers the page moves the focus to itself (a row's status, a
// heading), which Tab passes over.
export const FOCUSABLE = 'a[href], button, input, textarea, select, [tabindex]';

// A radio group is one stop: its checked radio, or its first.
function stopsOf(candidates, usable) {
  const stops = [];
  const groups = new Map();
  for (const el of candidates) {
    if (!usable(el) || Number(el.getAttribute('tabindex') ?? 0) < 0) continue;
    const group = el.tagName === 'INPUT' && el.getAttribute('type') === 'radio' ? el.getAttribute('name') : null;
    if (group === null) {
      stops.push({ el, at: candidates.indexOf(el), group });
    } else if (!groups.has(group)) {
      const stop = { el, at: candidates.indexOf(el), group };
      groups.set(group, stop);
      stops.push(stop);
    } else if (el.checked) {
      groups.get(group).el = el;
    }
  }
  return stops;
}

// The control Tab (or Shift+Tab with `backwards`) must go to because the
// engine's own order would leave the page, or null where the engine's order
// stays inside it. `active` is the focused element (the body when none).
export function wrapTarget(candidates, active, backwards, usable) {
  const stops = stopsOf(candidates, usable);
  if (stops.length === 0) return null;
  const at = candidates.indexOf(active);
  const ownGroup =
    active?.tagName === 'INPUT' && active.getAttribute('type') === 'radio' ? active.getAttribute('name') : null;
  const beyond = (stop) => stop.group === null || stop.group !== ownGroup;
  const ahead = backwards
    ? stops.some((stop) => stop.at < at && beyond(stop))
    : stops.some((stop) => stop.at > at && beyond(stop));
  if (at !== -1 && ahead) return null;
  return (backwards ? stops.at(-1) : stops[0]).el;
}

// Where the focus goes when `lost` (the control that had it) can no longer
// hold it: the nearest enclosing part of the page that can, either itself or
// its first container meant for it (a row's status, a form's progress, a
// panel's heading). Null when nothing around it can.
export function focusHome(lost, usable) {
  for (let around = lost?.parentElement; around; around = around.parentElement) {
    if (around.getAttribute('tabindex') !== null && usable(around)) return around;
    const inner = [...around.querySelectorAll('[tabindex="-1"]')].find(usable);
    if (inner) return inner;
  }
  return null;
}

// Enter in a single-line field of a form would send the whole form: only its
// send button sends it. Text areas keep Enter for new lines, buttons for
// pressing, and an input method composing a word for confirming it.
export function enterSubmits(event) {
  return !(event.key === 'Enter' && !event.isComposing && event.target?.tagName === 'INPUT');
}
