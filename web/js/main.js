// Entry point: builds the app, mounts the views, publishes Suite.receive and
// only then tells the native side that the page can take events.

import { createApp } from './app.js';
import { hasNativeHost, post } from './bridge.js';
import { browserInit, browserStartView, followBrowserAppearance } from './devhost.js';
import { mountFeedback } from './views/feedback.js';
import { mountHistory } from './views/history.js';
import { mountProducts } from './views/products.js';
import { mountSettings } from './views/settings.js';
import { mountShell } from './views/shell.js';

const app = createApp({
  post,
  minBusyMs: 900,
  checkOnStart: true,
  every: (ms, fn) => setInterval(fn, ms),
  // A hidden window or another application in front: the user would not see
  // what a check found, so it is worth a notification.
  isAway: () => document.visibilityState === 'hidden' || !document.hasFocus(),
});

const renderers = [mountShell(app), mountProducts(app), mountSettings(app), mountFeedback(app), mountHistory(app)];
const render = (state) => {
  for (const view of renderers) view(state);
};
app.store.subscribe(render);
render(app.store.get());

// The user may have closed a product that was open while its install waited.
window.addEventListener('focus', () => app.recheckOpen());

const suite = app.connect(window);

if (!hasNativeHost()) {
  suite.receive(browserInit(window));
  followBrowserAppearance(window, suite.receive);
  app.showView(browserStartView(window));
}
