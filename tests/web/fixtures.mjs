// Catalog documents for the page tests: one valid product, changed per case.

export const HEX = 'ab'.repeat(32);

export function product(overrides = {}) {
  return {
    id: 'talven.presenter',
    group: 'app',
    name: { en: 'Presenter', ar: 'المقدِّم' },
    description: { en: 'Present.', ar: 'قدِّم.' },
    version: '4.2.0',
    url: 'https://downloads.brenlow.example/suite/presenter.pkg',
    file: 'presenter.pkg',
    sha256: HEX,
    size: 1234,
    detect: { apps: ['TALVEN Presenter.app'] },
    ...overrides,
  };
}

export const doc = (products, extra = {}) => JSON.stringify({ version: 1, products, ...extra });
