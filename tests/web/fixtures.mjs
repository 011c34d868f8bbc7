// Catalog documents for the page tests, and the page's app on a fake native side.
import { createApp } from '../../web/js/app.js';
import { parseCatalog } from '../../web/js/catalog.js';

export const HEX = 'ab'.repeat(32);

// A package of each kind, as a product's "packages" lists them.
export const PKG = {
  version: '4.2.0', url: 'https://downloads.brenlow.example/suite/presenter.pkg', file: 'presenter.pkg', sha256: HEX,
  size: 1234, detect: { apps: ['TALVEN Presenter.app'] },
};
export const DEB = {
  arch: 'all', version: '4.2.0-1', url: 'https://downloads.brenlow.example/suite/talven-presenter_4.2.0-1_all.deb',
  file: 'talven-presenter_4.2.0-1_all.deb', sha256: HEX, size: 999,
  detect: { apps: ['Not used.app'], receipts: ['talven-presenter'] },
};
export const RPM = {
  arch: 'noarch', version: '1:4.2.0-1.fc40', url: 'https://downloads.brenlow.example/suite/TalvenPresenter-4.2.0-1.noarch.rpm',
  file: 'TalvenPresenter-4.2.0-1.noarch.RPM', sha256: HEX, size: 888, detect: { receipts: ['TalvenPresenter'] },
};

// Without "packages", in the form catalogs had before there was more than one kind.
export function product(overrides = {}) {
  return {
    id: 'talven.presenter', group: 'app', name: { en: 'Presenter', ar: 'المقدِّم' },
    description: { en: 'Present.', ar: 'قدِّم.' }, ...PKG,
    ...overrides,
  };
}

export const doc = (products, extra = {}) => JSON.stringify({ version: 1, products, ...extra });

// Products as a check hands them to the app.
export const VENDOR = 'brenlow.example';
export const parsed = (...products) => parseCatalog(doc(products), VENDOR).products;

export const INIT = {
  type: 'init', platform: 'linux', version: '1.0.0', demo: false, vendorHost: 'brenlow.example', settings: null,
  osLang: 'en', osDark: false, reduceMotion: false,
};

// Waits for native answers that never fire unless a test brings its own timers: a real one would
// keep node running for its whole length after the tests are done.
const idleTimers = { setTimer: () => 0, clearTimer: () => {} };

// The app connected to a window, past `init` (none: not yet), with what it posts recorded.
export function startApp({ init = INIT, ...options } = {}) {
  const posts = [];
  const wakes = [];  // "wakeAt", kept apart: it follows every change of the schedule
  const win = {};
  const post = (m) => { (m.type === 'wakeAt' ? wakes : posts).push(m); };
  const app = createApp({ post, timers: idleTimers, ...options });
  app.connect(win);
  if (init) win.Suite.receive(structuredClone(init));
  posts.length = 0;
  return { app, posts, wakes, win, receive: (event) => win.Suite.receive(event) };
}
