// The page runs in the web view; its tests run under node's test runner.
import js from '@eslint/js';
import globals from 'globals';

export default [
  { ignores: ['node_modules/', 'build/', 'build-*/', 'tests/.deps/'] },
  js.configs.recommended,
  // `const { type, ...rest } = event` is how a member is left out.
  { rules: { 'no-unused-vars': ['error', { ignoreRestSiblings: true }] } },
  { files: ['web/**/*.js'], languageOptions: { globals: globals.browser } },
  { files: ['tests/web/**/*.mjs', 'eslint.config.js'], languageOptions: { globals: globals.node } },
];
