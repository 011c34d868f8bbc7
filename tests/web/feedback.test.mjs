// The feedback form from the first word to the service's answer, and the
// demo's played run of it.
import { test } from 'node:test';
import assert from 'node:assert/strict';

import {
  FEEDBACK_QUIET_MS, emptyFeedback, feedbackEvent, feedbackStalled, sending, validate, withField, withPicked,
} from '../../web/js/feedback.js';
import { startApp } from './fixtures.mjs';

const shot = { id: 'A', name: 'shot.png', size: 1200, type: 'image/png', thumb: 'data:image/jpeg;base64,AAAA' };
const clip = { id: 'B', name: 'clip.mov', size: 9000, type: 'video/quicktime' };

function app({ demo = false } = {}) {
  const timers = [];
  let clock = 1000;
  const env = startApp({
    init: { type: 'init', version: '3.1', demo, settings: null, osLang: 'en' },
    now: () => clock,
    later: (ms, fn) => timers.push({ ms, fn }),
  });
  return {
    ...env,
    fb: () => env.app.store.get().feedback,
    advance: (ms) => { clock += ms; },
    runTimers: () => timers.splice(0).sort((a, b) => a.ms - b.ms).forEach((t) => t.fn()),
  };
}

test('picked files are kept once each, with only image data URLs as thumbnails', () => {
  const cases = [
    // name, picked records, kept [id, has thumb]
    ['a picture and a movie', [shot, clip], [['A', true], ['B', false]]],
    ['the same id twice', [shot, shot], [['A', true]]],
    ['no id, or not an object', [{ name: 'x' }, null, 'A'], []],
    ['a thumbnail that is not an image data URL', [{ ...shot, thumb: 'https://evil/x.png' }], [['A', false]]],
    ['an SVG thumbnail (could carry script)', [{ ...shot, thumb: 'data:image/svg+xml;base64,AA' }], [['A', false]]],
  ];
  for (const [name, files, kept] of cases) {
    const fb = withPicked(emptyFeedback(), { type: 'picked', files });
    assert.deepEqual(fb.files.map((f) => [f.id, 'thumb' in f]), kept, name);
  }
  const odd = withPicked(emptyFeedback(), { files: [{ id: 'C', size: -5 }] }).files[0];
  assert.deepEqual(odd, { id: 'C', name: 'C', size: 0, type: 'application/octet-stream' });
});

test('a message is required and an email, if given, must look like one', () => {
  const errors = [['', ''], ['  \n ', ''], ['Hi', 'lina@'], ['Hi', ' lina@example.com ']].map(([message, email]) =>
    Object.values(validate(withField(withField(emptyFeedback(), 'message', message), 'email', email))));
  assert.deepEqual(errors, [['required', null], ['required', null], [null, 'invalid'], [null, null]]);
});

test('a submission ends with its result, whatever comes before or after it', () => {
  const start = sending(withPicked(withField(emptyFeedback(), 'message', 'Hi'), { files: [shot] }), 0);
  const progress = (pct) => ({ type: 'feedbackProgress', pct });
  const result = (ok, error) => ({ type: 'feedbackResult', ok, error });
  const cases = [
    // name, events, [status, error, pct, message kept]
    ['delivered with attachments ("send")', [progress(40), result(true, 'send')], ['sent', null, 100, false]],
    ['delivered without attachments ("")', [result(true, '')], ['sent', null, 100, false]],
    ['offline', [progress(20), result(false, 'offline')], ['failed', 'offline', 20, true]],
    ['refused', [result(false, 'send')], ['failed', 'send', 0, true]],
    ['an unknown code counts as refused', [result(false, 'teapot')], ['failed', 'send', 0, true]],
    ['progress never goes back or reaches 100', [progress(60), progress(30), progress(250)],
      ['sending', null, 99, true]],
    ['a second result changes nothing', [result(false, 'offline'), result(true, '')], ['failed', 'offline', 0, true]],
    ['progress after the result', [result(false, 'send'), progress(50)], ['failed', 'send', 0, true]],
  ];
  for (const [name, events, expected] of cases) {
    const fb = events.reduce((state, event) => feedbackEvent(state, event, 1), start);
    assert.deepEqual([fb.status, fb.error, fb.pct, fb.message === 'Hi' && fb.files.length === 1], expected, name);
  }

  // No answer at all: the wait ends, and a late delivery still counts.
  assert.equal(feedbackStalled(start, FEEDBACK_QUIET_MS), start);
  const lost = feedbackStalled(start, FEEDBACK_QUIET_MS + 1);
  assert.deepEqual([lost.status, lost.error], ['failed', 'noAnswer']);
  assert.equal(feedbackEvent(lost, result(true, 'send'), 2).status, 'sent');
});

test('sending posts the record and the attachment ids, and a failure keeps everything for a retry', () => {
  const env = app();
  env.receive({ type: 'picked', files: [shot, clip] });
  env.app.removeFile('B');
  assert.equal(env.app.sendFeedback(), false, 'no message yet');
  // "praise" is no category offered: it stays "problem".
  const fields = { message: '  The legend overlaps.  ', email: 'lina@example.com', device: false, category: 'praise' };
  for (const [name, value] of Object.entries(fields)) env.app.setFeedbackField(name, value);

  assert.equal(env.app.sendFeedback(), true);
  assert.deepEqual(env.posts, [{
    type: 'sendFeedback',
    data: { category: 'problem', message: 'The legend overlaps.', device: false, lang: 'en', version: '3.1',
      email: 'lina@example.com' },
    files: ['A'],
  }]);
  assert.equal(env.app.sendFeedback(), false, 'one submission at a time');
  env.receive({ type: 'picked', files: [clip] });
  env.app.removeFile('A');
  assert.deepEqual(env.fb().files.map((f) => f.id), ['A'], 'attachments are fixed while sending');

  env.receive({ type: 'feedbackResult', ok: false, error: 'offline' });
  assert.equal(env.app.sendFeedback(), true);
  assert.deepEqual(env.posts.at(-1).files, ['A'], 'the retry sends the same attachments');

  // The clock tick gives up on a submission that never hears back.
  env.advance(FEEDBACK_QUIET_MS + 1);
  env.app.tick();
  assert.deepEqual([env.fb().status, env.fb().error], ['failed', 'noAnswer']);
});

test('in demo mode the page plays the native events of a submission to its end', () => {
  const env = app({ demo: true });
  env.app.setFeedbackField('message', 'Hi');
  env.receive({ type: 'picked', files: [shot] });
  env.app.sendFeedback();
  // A result that arrives first (the showcase forces one) silences the played run.
  env.receive({ type: 'feedbackResult', ok: false, error: 'offline' });
  env.app.sendFeedback();
  env.runTimers();
  assert.equal(env.fb().status, 'sent');
});
