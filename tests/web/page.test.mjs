// Rules the native host relies on that can be read from the page's files.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync, readdirSync } from 'node:fs';
import { join, relative } from 'node:path';
import { fileURLToPath } from 'node:url';

const WEB = fileURLToPath(new URL('../../web/', import.meta.url));
const html = readFileSync(join(WEB, 'index.html'), 'utf8');

function files(ext) {
  return readdirSync(WEB, { withFileTypes: true, recursive: true })
    .filter((e) => e.isFile() && e.name.endsWith(ext))
    .map((e) => {
      const path = join(e.parentPath ?? e.path, e.name);
      return { name: relative(WEB, path), text: readFileSync(path, 'utf8') };
    });
}

test('the page loads nothing from the network', () => {
  const remote = /(?:src|href)\s*=\s*["'](?:https?:)?\/\/|url\(\s*["']?(?:https?:)?\/\/|@import\s+(?:url\()?["']?(?:https?:)?\/\/|from\s+["'](?:https?:)?\/\//i;
  // The one outside address is a link, opened by the user's browser.
  const pageWithoutLinks = html.replace(/<a\b[^>]*>/g, '');
  assert.doesNotMatch(pageWithoutLinks, remote, 'index.html');
  for (const { name, text } of [...files('.css'), ...files('.js')]) assert.doesNotMatch(text, remote, name);
});

// The host's page test clicks the settings entry the native menu clicks, and the
// end-to-end flows run the page as the scheme serves it.
test('every shipped file has a type the resource scheme serves', () => {
  const served = /\.(?:html|js|css|json|png|svg|woff)$/i;
  const shipped = readdirSync(WEB, { recursive: true, withFileTypes: true }).filter((e) => e.isFile());
  for (const entry of shipped) assert.match(entry.name, served, entry.name);
});

// Without a GPU the engine blurs a card's shadow again whenever anything inside it changes: a
// fifth of a core while a download showed its progress.
test('the cards that hold changing rows cast no blurred shadow', () => {
  const css = files('.css').map((f) => f.text).join('\n');
  const shadows = [...css.matchAll(/--shadow:\s*([^;]+);/g)].map((m) => m[1]);
  assert.match(css, /\.card\s*\{[^}]*box-shadow:\s*var\(--shadow\);/);
  assert.ok(shadows.length >= 2 && shadows.every((s) => /^(\S+ \S+ 0 rgba?\([^)]*\)(, )?)+$/.test(s)), String(shadows));
});
