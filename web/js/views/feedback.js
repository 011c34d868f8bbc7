// Feedback view: the form, its attachments with thumbnails, the send
// progress and the outcome. Field problems are shown only after the user
// tried to send, not while they are still typing the first words.

import { $, $$, announceIn, setText } from '../dom.js';
import { validate } from '../feedback.js';
import { enterSubmits } from '../focus.js';
import { formatPct, formatSize, t } from '../i18n.js';
import { langOf } from '../state.js';

const SVG = 'http://www.w3.org/2000/svg';

function fileIcon(doc, type) {
  const svg = doc.createElementNS(SVG, 'svg');
  svg.setAttribute('class', 'icon');
  svg.setAttribute('aria-hidden', 'true');
  const use = doc.createElementNS(SVG, 'use');
  use.setAttribute('href', type.startsWith('video/') ? '#i-video' : '#i-file');
  svg.append(use);
  return svg;
}

function buildFile(doc, file, app) {
  const li = doc.createElement('li');
  li.className = 'file';
  li.dataset.file = file.id;
  const preview = doc.createElement('span');
  preview.className = 'file-thumb';
  if (file.thumb) {
    const img = doc.createElement('img');
    img.src = file.thumb;
    img.alt = '';
    preview.append(img);
  } else {
    preview.append(fileIcon(doc, file.type));
  }
  const text = doc.createElement('span');
  text.className = 'file-text';
  const name = doc.createElement('span');
  name.className = 'file-name';
  name.dir = 'auto';
  name.textContent = file.name;
  const size = doc.createElement('span');
  size.className = 'file-size';
  text.append(name, size);
  const remove = doc.createElement('button');
  remove.type = 'button';
  remove.className = 'btn btn-icon';
  remove.dataset.remove = '';
  remove.append(fileIcon(doc, ''));
  remove.firstElementChild.firstElementChild.setAttribute('href', '#i-close');
  remove.addEventListener('click', () => app.removeFile(file.id));
  li.append(preview, text, remove);
  return { li, size, remove, name: file.name };
}

const OUTCOME_ICONS = { sent: 'i-check', failed: 'i-alert' };

export function mountFeedback(app, doc = document) {
  const panel = $('[data-panel="feedback"]', doc);
  const form = $('[data-feedback-form]', panel);
  const categories = $$('input[name="category"]', form);
  const categoryGroup = $('[data-field="category"]', form);
  const message = $('[data-field="message"]', form);
  const email = $('[data-field="email"]', form);
  const device = $('[data-field="device"]', form);
  const errors = { message: $('[data-error="message"]', form), email: $('[data-error="email"]', form) };
  const list = $('[data-files]', form);
  const none = $('[data-files-none]', form);
  const attachField = list.closest('.field');
  const pick = $('[data-action="pick-files"]', form);
  const send = $('[data-action="send-feedback"]', form);
  const progress = $('[data-send-progress]', form);
  const progressText = $('[data-send-text]', progress);
  const bar = $('[data-send-bar]', progress);
  const outcome = $('[data-feedback-outcome]', panel);
  const outcomeIcon = $('.outcome-icon use', outcome);
  const outcomeTitle = $('[data-outcome-title]', outcome);
  const outcomeBody = $('[data-outcome-body]', outcome);
  const retry = $('[data-action="feedback-retry"]', outcome);

  const live = $('[data-live]', doc);

  const files = new Map();
  let tried = false;
  let shownStatus = 'idle';

  for (const input of categories) {
    input.addEventListener('change', () => input.checked && app.setFeedbackField('category', input.value));
  }
  message.addEventListener('input', () => app.setFeedbackField('message', message.value));
  email.addEventListener('input', () => app.setFeedbackField('email', email.value));
  device.addEventListener('change', () => app.setFeedbackField('device', device.checked));
  pick.addEventListener('click', () => app.pickFiles());

  function trySend() {
    tried = true;
    if (app.sendFeedback()) {
      // The send button is disabled while it runs; the progress beside it
      // keeps the focus in the form, so the keys still scroll the panel.
      progress.focus();
      return;
    }
    // Take the user to the first thing to fix.
    const problems = validate(app.store.get().feedback);
    if (problems.message) message.focus();
    else if (problems.email) email.focus();
    render(app.store.get());
  }
  form.addEventListener('keydown', (event) => {
    if (!enterSubmits(event)) event.preventDefault();
  });
  form.addEventListener('submit', (event) => {
    event.preventDefault();
    trySend();
  });
  retry.addEventListener('click', trySend);

  // Fields are written only when the state differs, so the caret and an
  // unfinished input method composition stay where they are.
  const put = (field, value) => {
    if (field.value !== value) field.value = value;
  };

  function renderFiles(fb, lang, busy) {
    const wanted = new Set(fb.files.map((f) => f.id));
    for (const [id, parts] of files) {
      if (!wanted.has(id)) {
        parts.li.remove();
        files.delete(id);
      }
    }
    for (const file of fb.files) {
      let parts = files.get(file.id);
      if (!parts) {
        parts = buildFile(doc, file, app);
        files.set(file.id, parts);
        list.append(parts.li);
      }
      setText(parts.size, formatSize(lang, file.size));
      parts.remove.setAttribute('aria-label', t(lang, 'feedback.remove', { name: parts.name }));
      parts.remove.title = t(lang, 'feedback.remove', { name: parts.name });
      parts.remove.disabled = busy;
    }
    list.hidden = fb.files.length === 0;
    none.hidden = fb.files.length > 0;
  }

  function render(state) {
    const lang = langOf(state);
    const fb = state.feedback;
    const busy = fb.status === 'sending';
    // The administrator switched attachments off: the native side would refuse the chooser.
    attachField.hidden = state.policy?.attachments === false;
    // A delivered form is empty again; that is not the user's mistake.
    if (fb.status === 'sent') tried = false;

    for (const input of categories) input.checked = input.value === fb.category;
    put(message, fb.message);
    put(email, fb.email);
    device.checked = fb.device;
    for (const field of [categoryGroup, device, pick]) field.disabled = busy;
    // Read-only, not disabled: what was written can still be reached and read.
    message.readOnly = busy;
    email.readOnly = busy;
    send.disabled = busy;
    send.setAttribute('aria-busy', String(busy));

    const problems = validate(fb);
    for (const [name, node] of Object.entries(errors)) {
      const shown = tried && problems[name] !== null && !busy;
      node.hidden = !shown;
      const field = name === 'message' ? message : email;
      field.setAttribute('aria-invalid', String(shown));
    }
    renderFiles(fb, lang, busy);

    // The bar is not a live region (every percent would be read out); the
    // start is announced once, and the outcome is an alert.
    if (busy && shownStatus !== 'sending') announceIn(live, t(lang, 'feedback.sending', { pct: formatPct(lang, 0) }));
    shownStatus = fb.status;

    const progressHadFocus = progress.contains(doc.activeElement);
    progress.hidden = !busy;
    if (busy) {
      const pct = formatPct(lang, fb.pct);
      setText(progressText, t(lang, 'feedback.sending', { pct }));
      bar.setAttribute('aria-valuenow', String(Math.round(fb.pct)));
      bar.firstElementChild.style.inlineSize = `${fb.pct}%`;
    }

    const done = fb.status === 'sent' || fb.status === 'failed';
    const appeared = done && outcome.hidden;
    outcome.hidden = !done;
    if (done) {
      const key = fb.status === 'sent' ? 'sent' : fb.error;
      outcome.dataset.state = fb.status;
      outcomeIcon.setAttribute('href', `#${OUTCOME_ICONS[fb.status]}`);
      setText(outcomeTitle, t(lang, `feedback.${key}.title`));
      // A demo sends nothing, and must not say that something arrived.
      setText(outcomeBody, t(lang, `feedback.${key}.${fb.status === 'sent' && state.demo ? 'demoBody' : 'body'}`));
      retry.hidden = fb.status === 'sent';
      // The outcome sits above the form, out of sight of the send button.
      if (appeared && progressHadFocus) outcome.focus();
      else if (appeared) outcome.scrollIntoView?.({ block: 'nearest' });
    }
  }

  return render;
}
