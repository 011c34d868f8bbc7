// Settings view: interface language, start at login and the automatic check.
// Every change goes through the app core, which saves the whole settings
// dictionary.

import { $, $$ } from '../dom.js';
import { autoCheckChoice } from '../schedule.js';
import { langChoice, startsAtLogin } from '../state.js';

export function mountSettings(app, doc = document) {
  const panel = $('[data-panel="settings"]', doc);
  const langGroup = $('[data-setting="lang"]', panel);
  const langInputs = $$('input[name="lang"]', langGroup);
  const startLogin = $('[data-setting="startLogin"]', panel);
  const autoGroup = $('[data-setting="autoCheck"]', panel);
  const autoInputs = $$('input[name="autoCheck"]', autoGroup);

  for (const input of langInputs) {
    input.addEventListener('change', () => {
      if (input.checked) app.setLanguage(input.value);
    });
  }
  startLogin.addEventListener('change', () => app.setStartLogin(startLogin.checked));
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

    const choice = langChoice(state.settings);
    for (const input of langInputs) input.checked = input.value === choice;
    startLogin.checked = startsAtLogin(state.settings);
    const auto = autoCheckChoice(state.settings);
    for (const input of autoInputs) input.checked = input.value === auto;
  };
}
