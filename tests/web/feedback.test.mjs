// The feedback form from the first word to the service's answer.
import { test } from 'node:test';
import assert from 'node:assert/strict';

import { FEEDBACK_QUIET_MS, emptyFeedback, withPicked } from '../../web/js/feedback.js';
import { startApp } from './fixtures.mjs';

const shot = { id: 'A', name: 'shot.png', size: 1200, type: 'image/png', thumb: 'data:image/jpeg;base64,AAAA' };
const clip = { id: 'B', name: 'clip.mov', size: 9000, type: 'video/quicktime' };

function app() {
  let clock = 1000;
  const env = startApp({ init: { type: 'init', version: '3.1', demo: false, settings: null, osLang: 'en' }, now: () => clock });
  return {
    ...env,
    fb: () => env.app.store.get().feedback,
    advance: (ms) => { clock += ms; },
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
