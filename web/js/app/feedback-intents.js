// The feedback form's intents and the native events that answer a
// submission: "picked" attachments, "feedbackProgress", "feedbackResult".

import { feedbackEvent, feedbackRecord, isValid, sending, withField, withPicked, withoutFile } from '../feedback.js';
import { langOf } from '../state.js';

export function createFeedbackIntents({ store, post, now, router, demo }) {
  const updateFeedback = (change) =>
    store.update((s) => {
      const feedback = change(s.feedback);
      return feedback === s.feedback ? s : { ...s, feedback };
    });

  // Ends the demo's played events of an earlier submission.
  let submission = 0;

  function setFeedbackField(name, value) {
    updateFeedback((fb) => withField(fb, name, value));
  }

  // The answer, if any, is a "picked" event; cancelling sends nothing, so
  // nothing waits for it.
  function pickFiles() {
    if (store.get().feedback.status === 'sending') return false;
    post({ type: 'pickFiles' });
    return true;
  }

  const removeFile = (id) => updateFeedback((fb) => withoutFile(fb, id));

  function sendFeedback() {
    const state = store.get();
    const fb = state.feedback;
    if (fb.status === 'sending' || !isValid(fb)) return false;
    const sent = post({
      type: 'sendFeedback',
      data: feedbackRecord(fb, { lang: langOf(state), version: state.version }),
      files: fb.files.map((f) => f.id),
    });
    if (sent === false && !state.demo) {
      updateFeedback((current) => ({ ...current, status: 'failed', error: 'send' }));
      return false;
    }
    updateFeedback((current) => sending(current, now()));
    const mine = ++submission;
    if (state.demo) demo.playFeedback(fb.files.length, () => mine === submission);
    return true;
  }

  router.on('picked', (event) => updateFeedback((fb) => withPicked(fb, event)));
  const onFeedbackEvent = (event) => updateFeedback((fb) => feedbackEvent(fb, event, now()));
  router.on('feedbackProgress', onFeedbackEvent);
  router.on('feedbackResult', onFeedbackEvent);

  return { setFeedbackField, pickFiles, removeFile, sendFeedback };
}
