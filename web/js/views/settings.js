// Settings view: interface language, start at login, the automatic check and
// automatic installs.
// Every change goes through the app core, which saves the whole settings
// dictionary.

import { $, $$ } from '../dom.js';
import { autoCheckChoice } from '../schedule.js';
import { installsAutomatically, langChoice, startsAtLogin } from '../state.js';

export function mountSettings(app, doc = document) {
  const panel = $('[data-panel="settings"]', doc);
  const langGroup = $('[data-setting="lang"]', panel);
  const langInputs = $$('input[name="lang"]', langGroup);
  const startLogin = $('[data-setting="startLogin"]', panel);
  const autoGroup = $('[data-setting="autoCheck"]', panel);
  const autoInputs = $$('input[name="autoCheck"]', autoGroup);
  const autoInstall = $('[data-setting="autoInstall"]', panel);

  // A language applies when chosen with a click, Space or Enter, not when
  // the arrow keys pass over it: each switch turns the page to the other
  // direction, and the next arrow would then point back the other way.
  const ARROWS = { ArrowDown: 1, ArrowUp: -1, ArrowRight: 1, ArrowLeft: -1 };
  langGroup.addEventListener('keydown', (event) => {
    const index = langInputs.indexOf(event.target);
    if (index < 0) return;
    if (event.key === 'Enter') {
      event.preventDefault();
      event.target.click();
      return;
    }
    if (!Object.hasOwn(ARROWS, event.key)) return;
    event.preventDefault();
    // Across the row, right-to-left reverses the horizontal arrows.
    const across = event.key === 'ArrowLeft' || event.key === 'ArrowRight';
    const flip = across && doc.dir === 'rtl' ? -1 : 1;
    const next = (index + ARROWS[event.key] * flip + langInputs.length) % langInputs.length;
    langInputs[next].focus();
  });
  for (const input of langInputs) {
    input.addEventListener('change', () => {
      if (input.checked) app.setLanguage(input.value);
    });
  }
  startLogin.addEventListener('change', () => app.setStartLogin(startLogin.checked));
  autoInstall.addEventListener('change', () => app.setAutoInstall(autoInstall.checked));
  for (const input of autoInputs) {
    input.addEventListener('change', () => {
      if (input.checked) app.setAutoCheck(input.value);
    });
  }

  return function render(state) {
    // Until "init" has delivered the stored settings, a change would save an
    // empty dictionary over them.
    langGroup.disabled = !state.booted;
    startLogin.disabled = !state.booted;
    autoGroup.disabled = !state.booted;
    autoInstall.disabled = !state.booted;

    const choice = langChoice(state.settings);
    for (const input of langInputs) input.checked = input.value === choice;
    startLogin.checked = startsAtLogin(state.settings);
    autoInstall.checked = installsAutomatically(state.settings);
    const auto = autoCheckChoice(state.settings);
    for (const input of autoInputs) input.checked = input.value === auto;
  };
}
