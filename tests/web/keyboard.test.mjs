// Where the keyboard goes at the ends of the page's order and when a focused control goes away,
// on the page's own markup.
import { test } from 'node:test';
import assert from 'node:assert/strict';

import { FOCUSABLE, enterSubmits, focusHome, wrapTarget } from '../../web/js/focus.js';
import { pageDocument } from './dom.mjs';

const usable = (el) => el.getBoundingClientRect().width > 0 && !el.disabled;

test('Tab past either end comes back in at the other, a radio group being one stop', () => {
  const doc = pageDocument();
  for (const panel of doc.querySelectorAll('[data-panel]')) panel.hidden = panel.dataset.panel !== 'settings';
  const wrap = (active, backwards) => wrapTarget(doc.querySelectorAll(FOCUSABLE), active, backwards, usable);
  const first = doc.querySelector('[data-view]');
  const website = doc.querySelector('a[href]');
  assert.deepEqual([wrap(website, false), wrap(first, true), wrap(doc.body, false), wrap(doc.body, true)], [first, website, first, website]);
  assert.deepEqual([wrap(first, false), wrap(website, true)], [null, null]);
  // Without the link and the install switch, the last stop is the schedule's group: from any of
  // its radios Tab leaves it for the top, and Shift+Tab from the top lands on the radio that is
  // checked.
  website.hidden = true;
  doc.querySelector('[data-setting="autoInstall"]').closest('.row').hidden = true;
  const [never, daily] = doc.querySelectorAll('input[name="autoCheck"]');
  daily.checked = true;
  assert.deepEqual([wrap(never, false), wrap(first, true)], [first, daily]);
});

test('a control that goes away hands the focus to its row, or else to what encloses it', () => {
  const doc = pageDocument();
  const batch = doc.querySelector('[data-batch]');
  const cancelAll = batch.querySelector('[data-action="cancel-all"]');
  batch.hidden = false;
  cancelAll.hidden = true;
  assert.equal(focusHome(cancelAll, usable), batch);
  // A row's status is the row's place for the focus, beside the buttons that come and go.
  const li = doc.createElement('li');
  const status = doc.createElement('div');
  const side = doc.createElement('div');
  const cancel = doc.createElement('button');
  status.setAttribute('tabindex', '-1');
  side.append(cancel);
  li.append(status, side);
  doc.querySelector('[data-group-list]').append(li);
  doc.querySelector('[data-group-list]').hidden = false;
  assert.equal(focusHome(cancel, usable), status);
  status.hidden = true;
  assert.equal(focusHome(cancel, usable), batch);
  li.remove();
  assert.equal(focusHome(cancel, usable), null);
});

test('Enter sends the feedback form from its button, never from a one-line field', () => {
  const key = (tagName, more = {}) => enterSubmits({ key: 'Enter', target: { tagName }, ...more });
  assert.deepEqual([key('INPUT'), key('TEXTAREA'), key('BUTTON'), key('INPUT', { isComposing: true })], [false, true, true, true]);
  assert.equal(enterSubmits({ key: 'a', target: { tagName: 'INPUT' } }), true);
});
