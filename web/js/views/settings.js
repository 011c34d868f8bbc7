// Settings view: interface language, start at login, the automatic check and
// automatic installs.
// Every change goes through the app core, which saves the whole settings
// dictionary.

import { $, $$ } from '../dom.js';
import { autoCheckChoice } from '../schedule.js';
import { t } from '../i18n.js';
import { installsAutomatically, isLocked, langChoice, langOf, startsAtLogin } from '../state.js';

export function mountSettings(app, doc = document) {
  const panel = $('[data-panel="settings"]', doc);
  const langGroup = $('[data-setting="lang"]', panel);
  const langInputs = $$('input[name="lang"]', langGroup);
  const startLogin = $('[data-setting="startLogin"]', panel);
  const autoGroup = $('[data-setting="autoCheck"]', panel);
  const autoInputs = $$('input[name="autoCheck"]', autoGroup);
  const autoInstall = $('[data-setting="autoInstall"]', panel);
  const policyNote = $('[data-policy-note]', panel);

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
    // A setting the administrator's policy locks shows its value and cannot be changed.
    langGroup.disabled = !state.booted;
    startLogin.disabled = !state.booted || isLocked(state, 'startLogin');
    autoGroup.disabled = !state.booted || isLocked(state, 'autoCheck');
    autoInstall.disabled = !state.booted || isLocked(state, 'autoInstall');
    const locked = state.policy?.locked.length > 0;
    policyNote.hidden = !locked;
    if (locked) {
      const lang = langOf(state);
      policyNote.textContent = state.policy.by
        ? // Its own direction, whichever script the administrator wrote it in.
          t(lang, 'settings.policyBy', { by: `\u2068${state.policy.by}\u2069` })
        : t(lang, 'settings.policy');
    }

    const choice = langChoice(state.settings);
    for (const input of langInputs) input.checked = input.value === choice;
    startLogin.checked = startsAtLogin(state.settings);
    autoInstall.checked = installsAutomatically(state.settings);
    const auto = autoCheckChoice(state.settings);
    for (const input of autoInputs) input.checked = input.value === auto;
  };
}
