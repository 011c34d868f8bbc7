// The feedback form: what the user wrote, the files they attached, and where
// a submission stands. Pure functions of plain data.
//
// Attachments are records from the native "picked" event; the page never
// sees a path, only ids it sends back with the submission. A submission ends
// with exactly one "feedbackResult", but the page does not count on it: a
// long silence ends the wait with a retry, and the form keeps what the user
// wrote until the service has it.

import { isObject } from './rules.js';

export const CATEGORIES = Object.freeze(['problem', 'idea', 'question', 'other']);
export const MESSAGE_MAX = 5000;
export const RESULT_ERRORS = Object.freeze(['offline', 'send']);

// Uploads report progress as they go, but the native side lets one attachment
// go 600 s without any (a stalled connection that may still recover), and a
// submission without attachments gets its answer within 30 s. Only silence
// past that limit, with a margin, means the answer is not coming; giving up
// earlier would let "send again" race the upload still running.
export const FEEDBACK_QUIET_MS = 630_000;

const EMAIL = /^[^\s@]+@[^\s@]+\.[^\s@]+$/;

export function emptyFeedback() {
  return {
    category: 'problem',
    message: '',
    email: '',
    device: true,
    files: [],
    status: 'idle', // idle | sending | sent | failed
    pct: 0,
    error: null, // when failed: "offline", "send" or "noAnswer"
    at: null, // last word about the submission
  };
}

// A new edit after a delivered submission starts a new one: the thanks
// make way for the form.
export function withField(current, name, value) {
  if (current.status === 'sending') return current;
  const fb = current.status === 'sent' ? { ...current, status: 'idle', pct: 0 } : current;
  switch (name) {
    case 'category':
      return CATEGORIES.includes(value) ? { ...fb, category: value } : fb;
    case 'message':
      return typeof value === 'string' ? { ...fb, message: value.slice(0, MESSAGE_MAX) } : fb;
    case 'email':
      return typeof value === 'string' ? { ...fb, email: value } : fb;
    case 'device':
      return { ...fb, device: value === true };
    default:
      return current;
  }
}

// Only what can be shown safely is kept: a thumbnail must be an image data
// URL (the page allows no other image source anyway).
function attachment(record) {
  if (!isObject(record) || typeof record.id !== 'string' || record.id === '') return null;
  const file = {
    id: record.id,
    name: typeof record.name === 'string' && record.name !== '' ? record.name : record.id,
    size: Number.isFinite(record.size) && record.size >= 0 ? record.size : 0,
    type: typeof record.type === 'string' ? record.type : 'application/octet-stream',
  };
  if (typeof record.thumb === 'string' && /^data:image\/(?:jpeg|png);base64,/.test(record.thumb)) {
    file.thumb = record.thumb;
  }
  return file;
}

export function withPicked(fb, event) {
  if (fb.status === 'sending' || !isObject(event) || !Array.isArray(event.files)) return fb;
  const known = new Set(fb.files.map((f) => f.id));
  const added = event.files.map(attachment).filter((f) => f && !known.has(f.id) && known.add(f.id));
  if (added.length === 0) return fb;
  return { ...fb, files: [...fb.files, ...added] };
}

export function withoutFile(fb, id) {
  if (fb.status === 'sending') return fb;
  const files = fb.files.filter((f) => f.id !== id);
  return files.length === fb.files.length ? fb : { ...fb, files };
}

// → { message: null | "required", email: null | "invalid" }
export function validate(fb) {
  const email = fb.email.trim();
  return {
    message: fb.message.trim() === '' ? 'required' : null,
    email: email !== '' && !EMAIL.test(email) ? 'invalid' : null,
  };
}

export const isValid = (fb) => Object.values(validate(fb)).every((problem) => problem === null);

// The "data" of "sendFeedback". The native side adds "os" when "device" is
// true and replaces "files" with the attachments' descriptions.
export function feedbackRecord(fb, { lang, version }) {
  const data = { category: fb.category, message: fb.message.trim(), device: fb.device === true, lang, version };
  const email = fb.email.trim();
  if (email !== '') data.email = email;
  return data;
}

export function sending(fb, now) {
  return { ...fb, status: 'sending', pct: 0, error: null, at: now };
}

// A result is taken while sending, and also after the page stopped waiting:
// a late "delivered" must not leave the user believing it was lost.
const awaitsResult = (fb) => fb.status === 'sending' || (fb.status === 'failed' && fb.error === 'noAnswer');

export function feedbackEvent(fb, event, now) {
  if (!isObject(event)) return fb;
  if (event.type === 'feedbackProgress') {
    if (fb.status !== 'sending' || !Number.isFinite(event.pct)) return fb;
    return { ...fb, pct: Math.max(fb.pct, Math.min(99, Math.max(0, event.pct))), at: now };
  }
  if (event.type === 'feedbackResult') {
    if (!awaitsResult(fb)) return fb;
    // "ok" decides: a delivered submission with attachments reports "send"
    // as its error code, one without reports "".
    if (event.ok === true) {
      return { ...fb, message: '', files: [], status: 'sent', pct: 100, error: null, at: now };
    }
    const error = RESULT_ERRORS.includes(event.error) ? event.error : 'send';
    return { ...fb, status: 'failed', error, at: now };
  }
  return fb;
}

export function feedbackStalled(fb, now, limit = FEEDBACK_QUIET_MS) {
  if (fb.status !== 'sending' || now - fb.at <= limit) return fb;
  return { ...fb, status: 'failed', error: 'noAnswer' };
}
