// The page's side of the bridge: actions go out through the "suite" script
// message handler, events come in through the global Suite.receive.
//
// The handler is looked up on every post rather than once at load, so that a
// page opened in a plain browser (no handler) simply stays quiet, and so that
// tests can install a fake host after importing this module.

import { isObject } from './rules.js';

function nativeHandler() {
  const handler = globalThis.window?.webkit?.messageHandlers?.suite;
  return handler && typeof handler.postMessage === 'function' ? handler : null;
}

export function hasNativeHost() {
  return nativeHandler() !== null;
}

// Fire and forget: the native side never acknowledges an action, so there is
// nothing to report to the caller except whether a host took the message.
// It goes as JSON text: WebKit hands an object over member by member, which
// for a scan of ten thousand products took the page and the native side more
// than a second; text crosses in one piece.
export function post(message) {
  const handler = nativeHandler();
  if (!handler) return false;
  try {
    handler.postMessage(JSON.stringify(message));
    return true;
  } catch (err) {
    console.error('suite: could not post', message?.type, err);
    return false;
  }
}

// Routes events to the handlers registered for their "type". Anything that is
// not an object with a string "type", or a type nobody listens to, is dropped:
// the native side may already speak events that this page does not know yet.
// A failing handler is logged and does not stop the others or the caller,
// which is the native side's evaluate call and cannot do anything about it.
export function createRouter() {
  const handlers = new Map();

  function on(type, handler) {
    if (!handlers.has(type)) handlers.set(type, new Set());
    handlers.get(type).add(handler);
    return () => handlers.get(type)?.delete(handler);
  }

  function receive(event) {
    if (!isObject(event) || typeof event.type !== 'string') return false;
    const list = handlers.get(event.type);
    if (!list || list.size === 0) return false;
    for (const handler of [...list]) {
      try {
        handler(event);
      } catch (err) {
        console.error('suite: handler for', event.type, 'failed', err);
      }
    }
    return true;
  }

  return { on, receive };
}
