// Catalog documents for the page tests, and the page's app on a fake native side.
import { createApp } from '../../web/js/app.js';

export const HEX = 'ab'.repeat(32);

export function product(overrides = {}) {
  return {
    id: 'talven.presenter', group: 'app', name: { en: 'Presenter', ar: 'المقدِّم' },
    description: { en: 'Present.', ar: 'قدِّم.' }, version: '4.2.0',
    url: 'https://downloads.brenlow.example/suite/presenter.pkg', file: 'presenter.pkg', sha256: HEX, size: 1234,
    detect: { apps: ['TALVEN Presenter.app'] },
    ...overrides,
  };
}

export const doc = (products, extra = {}) => JSON.stringify({ version: 1, products, ...extra });

export const INIT = {
  type: 'init', platform: 'linux', version: '1.0.0', demo: false, settings: null,
  osLang: 'en', osDark: false, reduceMotion: false,
};

// Waits for native answers that never fire unless a test brings its own timers: a real one would
// keep node running for its whole length after the tests are done.
const idleTimers = { setTimer: () => 0, clearTimer: () => {} };

// The app connected to a window, past `init` (none: not yet), with what it posts recorded.
export function startApp({ init = INIT, ...options } = {}) {
  const posts = [];
  const win = {};
  const app = createApp({ post: (m) => { posts.push(m); }, timers: idleTimers, ...options });
  app.connect(win);
  if (init) win.Suite.receive(structuredClone(init));
  posts.length = 0;
  return { app, posts, win, receive: (event) => win.Suite.receive(event) };
}
