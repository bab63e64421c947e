// The class's page in a phone-sized headless Chromium against a broker of its
// own: the cards, the greying, the safety text, a cleared station, the chart
// of a picked station, the language and the lost link.
//
//   NODE_PATH=.../node_modules node tests/web/phone_page_test.mjs
//
// Environment: VANTREL_CHROMIUM (the browser; default chromium-headless-shell,
// else chromium), VANTREL_WEB_SHOTS (the screenshots' folder, default
// /tmp/vantrel-web-shots). Exits with 1 on any failed check.
import { execFileSync, spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';
import { fileURLToPath } from 'node:url';

const require = createRequire(import.meta.url);
const puppeteer = require('puppeteer-core');

const here = path.dirname(fileURLToPath(import.meta.url));
const pageDir = path.resolve(here, '../../web/class');
const shots = process.env.VANTREL_WEB_SHOTS || '/tmp/vantrel-web-shots';
const browserPath =
  process.env.VANTREL_CHROMIUM ||
  ['/usr/bin/chromium-headless-shell', '/usr/bin/chromium'].find((p) => fs.existsSync(p));

let passed = 0;
let failed = 0;
function check(ok, what, detail = '') {
  if (ok) {
    passed++;
  } else {
    failed++;
    console.error(`FAIL: ${what}${detail ? ': ' + detail : ''}`);
  }
}

function freePort() {
  return new Promise((resolve, reject) => {
    const server = net.createServer();
    server.on('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

async function waitFor(what, test, ms = 5000) {
  const end = Date.now() + ms;
  for (;;) {
    const value = await test();
    if (value) return value;
    if (Date.now() > end) throw new Error(`timed out waiting for ${what}`);
    await sleep(100);
  }
}

// As root the broker reads its files as nobody: a tree it cannot read is
// served from a copy in the scratch folder.
function servedDir(scratch) {
  if (process.getuid() !== 0) return pageDir;
  const probe = spawnSync('runuser', ['-u', 'nobody', '--', 'test', '-r', path.join(pageDir, 'class.js')]);
  if (probe.status === 0) return pageDir;
  const copy = path.join(scratch, 'class');
  fs.cpSync(pageDir, copy, { recursive: true });
  execFileSync('chmod', ['-R', 'a+rX', copy]);
  console.log(`${pageDir} is not readable by nobody: the broker serves a copy`);
  return copy;
}

const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'vantrel-web-'));
fs.chmodSync(scratch, 0o755);
let broker = null;
let browser = null;

async function main() {
  if (!browserPath) throw new Error('no Chromium found (set VANTREL_CHROMIUM)');
  fs.mkdirSync(shots, { recursive: true });
  const port = await freePort();
  const wsPort = await freePort();
  const conf = path.join(scratch, 'mosquitto.conf');
  const lines = [
    `listener ${port} 127.0.0.1`,
    `listener ${wsPort} 127.0.0.1`,
    'protocol websockets',
    `http_dir ${servedDir(scratch)}`,
    'socket_domain ipv4',
    'allow_anonymous true',
    'persistence false',
    'log_dest stderr',
    'log_type error',
    'log_type warning',
    'log_type notice',
    'log_type information',
  ];
  if (process.getuid() === 0) lines.push('user nobody');
  fs.writeFileSync(conf, lines.join('\n') + '\n', { mode: 0o644 });
  const log = path.join(scratch, 'broker.log');
  const logFd = fs.openSync(log, 'w');
  broker = spawn('/usr/sbin/mosquitto', ['-c', conf], { stdio: ['ignore', logFd, logFd] });
  await waitFor('the broker', () => /mosquitto version .* running/.test(fs.readFileSync(log, 'utf8')));

  const root = 'vantrel/1/test/';
  const publish = (topic, body, retain = false) => {
    const args = ['-V', 'mqttv5', '-h', '127.0.0.1', '-p', String(port), '-q', '1', '-t', root + topic];
    if (retain) args.push('-r');
    args.push(...(body === '' ? ['-n'] : ['-m', typeof body === 'string' ? body : JSON.stringify(body)]));
    execFileSync('mosquitto_pub', args);
  };
  const run = '2026-12-10_102314';
  const quantities = [
    { code: 'LT', name: 'Температура', unit: '°C', relative: false },
    { code: 'LP', name: 'pH', unit: '', relative: false },
    { code: 'LC', name: 'Электропроводность', unit: 'мСм/см', relative: false },
    { code: 'LE', name: 'Редокс-потенциал', unit: 'В', relative: false },
  ];
  const status1 = {
    online: true,
    run,
    state: 'measuring',
    scenario: 'Нагрев',
    experiment: 'Титрование',
    app: '0.1.0',
    period: 1,
    outputs: { heater: 60, stirrer: 300, pumps: [0, 5, 0] },
  };
  const last1 = (seq, t) => ({ run, seq, t, v: [23.46, 7.02, 1.254, 0.215, 0, 1.5, 0] });
  publish('st/Стол 1/status', status1, true);
  publish('st/Стол 1/last', last1(0, 0), true);
  publish(`st/Стол 1/run/${run}/meta`, {
    run,
    started: '2026-12-10 10:23:14',
    experiment: 'Титрование',
    scenario: 'titration',
    period: 1,
    volumeCoefficient: 1,
    quantities,
  }, true);
  publish('st/Стол 2/status', { online: false }, true);
  publish('st/Стол 2/last', { run: 'r2', seq: 9, t: 9, v: [19.0, 6.5, 0.5, 0.1, 0, 0, 0] }, true);
  // Markup in a text from the network is shown as text, never as markup.
  publish('st/Стол 3/status', {
    online: true,
    run: null,
    state: 'paused',
    scenario: '<b id="injected">Охлаждение</b>',
    experiment: 'Нагрев воды',
    app: '0.1.0',
    period: 1,
    outputs: { heater: 0, stirrer: 0, pumps: [0, 0, 0] },
    safety: 'Нагреватель выключен: 85.0 °C, предел 80 °C',
  }, true);
  publish('st/Стол 4/status', { online: true, run: null, state: 'connected', period: 1 }, true);

  browser = await puppeteer.launch({
    executablePath: browserPath,
    headless: path.basename(browserPath) === 'chromium-headless-shell' ? 'shell' : true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage'],
  });
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  page.on('console', (m) => m.type() === 'error' && errors.push(m.text()));
  await page.setViewport({ width: 390, height: 844, deviceScaleFactor: 2, isMobile: true, hasTouch: true });
  const base = `http://127.0.0.1:${wsPort}/index.html`;

  // Without a class the page says so and connects nowhere.
  await page.goto(base, { waitUntil: 'load' });
  const notice = await page.$eval('#notice', (n) => (n.hidden ? '' : n.textContent));
  check(notice.includes('?class='), 'the page without a class says so', notice);

  await page.goto(`${base}?class=test`, { waitUntil: 'load' });
  const cardCount = () => page.$$eval('.card', (c) => c.length);
  await waitFor('four cards', async () => (await cardCount()) === 4);
  publish('st/Стол 4/status', '', true);
  await waitFor('the cleared station to go', async () => (await cardCount()) === 3).catch(() => {});

  // The keep-alive runs in a worker, which a background tab does not slow.
  check(page.workers().length > 0, 'the MQTT timers run in a worker', String(page.workers().length));

  const cards = await page.$$eval('.card', (list) =>
    list.map((c) => ({
      name: c.querySelector('.name').textContent,
      stale: c.classList.contains('stale'),
      presence: c.querySelector('.presence').textContent,
      state: (c.querySelector('.state') || {}).textContent || '',
      safety: c.querySelector('.safety') ? [c.querySelector('.safety').textContent, getComputedStyle(c.querySelector('.safety')).color] : null,
      values: Object.fromEntries([...c.querySelectorAll('dd')].map((d) => [d.dataset.q, d.textContent.replace(/\u00a0/g, ' ')])),
      on: [...c.querySelectorAll('.outputs li.on')].map((li) => li.textContent),
    })),
  );
  check(JSON.stringify(cards.map((c) => c.name)) === '["Стол 1","Стол 2","Стол 3"]', 'three cards in order, the cleared one gone', JSON.stringify(cards.map((c) => c.name)));
  const [one, two, three] = cards;
  check(one && !one.stale && one.presence === 'на связи', 'station 1 online and not grey', JSON.stringify(one));
  check(
    one && one.values.LT === '23,5 °C' && one.values.LP === '7,02' && one.values.LC === '1,25 мСм/см' && one.values.LE === '0,215 В',
    'station 1 shows its newest values',
    JSON.stringify(one && one.values),
  );
  check(one && one.state === 'измерение · Шаг: Нагрев', 'station 1 state and step', one && one.state);
  check(one && JSON.stringify(one.on) === '["Нагреватель 60","Мешалка 300","Дозатор 2 5"]', 'station 1 outputs on', JSON.stringify(one && one.on));
  check(two && two.stale && two.presence === 'не на связи' && two.values.LT === '19,0 °C', 'the offline station greyed with its last values', JSON.stringify(two));
  check(three && !three.stale && three.on.length === 0, 'station 3 paused, all off, not grey', JSON.stringify(three));
  check(three && three.safety && three.safety[0].includes('85.0 °C, предел 80 °C') && three.safety[1] === 'rgb(198, 40, 40)', 'the safety text in red', JSON.stringify(three && three.safety));
  check(three && three.state.includes('<b id="injected">') && !(await page.$('#injected')), 'markup from the network stays text', three && three.state);

  // The picked station's chart: records since the page opened, by number,
  // duplicates dropped, a late batch in its place.
  await page.tap('.card[data-station="Стол 1"]');
  await page.waitForSelector('#chart:not([hidden])');
  const rec = (seq0, ts, lp = 7) => ({ seq0, t: ts, v: ts.map((t) => [20 + t * 0.5, lp, 1.2 + t * 0.01, 0.2, 0, t * 0.1, 0]) });
  publish(`st/Стол 1/run/${run}/rec`, rec(0, [0, 1, 2]));
  publish(`st/Стол 1/run/${run}/rec`, rec(3, [3, 4, 5]));
  publish(`st/Стол 1/run/${run}/rec`, rec(3, [3, 4, 5]));
  publish(`st/Стол 1/run/${run}/rec`, rec(8, [8, 9]));
  publish(`st/Стол 1/run/${run}/rec`, rec(6, [6, 7], null));
  publish('st/Стол 1/last', last1(9, 9), true);
  const points = () => page.$eval('#plot', (c) => c.dataset.points);
  const got = await waitFor('10 points', async () => ((await points()) === '10' ? '10' : null)).catch(async () => points());
  check(got === '10', 'the chart holds each record once', got);
  await page.select('#quantity', '1');
  const lp = await waitFor('LP points', async () => ((await points()) === '8' ? '8' : null)).catch(async () => points());
  check(lp === '8', 'the pH chart leaves out the records without pH', lp);
  await page.select('#quantity', '0');
  await waitFor('LT again', async () => (await points()) === '10').catch(() => {});
  check(errors.length === 0, 'no script errors', errors.join(' | '));
  await page.screenshot({ path: path.join(shots, 'class-ru.png'), fullPage: true });

  // The running station greys once its newest record is three periods old.
  const greyed = await waitFor('station 1 to grey', () => page.$('.card.stale[data-station="Стол 1"]'), 6000).catch(() => null);
  check(greyed !== null, 'a station without records for three periods turns grey');

  // Kazakh, with a fresh record so that the chart has something to draw.
  await page.goto(`${base}?class=test&lang=kk`, { waitUntil: 'load' });
  await waitFor('the Kazakh cards', async () => (await cardCount()) === 3);
  await page.tap('.card[data-station="Стол 1"]');
  await page.waitForSelector('#chart:not([hidden])');
  publish('st/Стол 1/last', last1(12, 12), true);
  publish(`st/Стол 1/run/${run}/rec`, rec(10, [10, 11, 12, 13, 14]));
  await waitFor('the Kazakh chart', async () => (await points()) === '5').catch(() => {});
  const kk = await page.$eval('.card[data-station="Стол 2"]', (c) =>
    [c.querySelector('.presence').textContent, c.querySelector('dd').textContent.replace(/\u00a0/g, ' ')].join(' | '),
  );
  check(kk === 'байланыста емес | 19,0 °C', 'the page speaks Kazakh and writes a decimal comma', kk);
  await page.screenshot({ path: path.join(shots, 'class-kk.png'), fullPage: true });
  // The projector: the same page wider (the same touch flags keep it loaded).
  await page.setViewport({ width: 1920, height: 1080, deviceScaleFactor: 1, isMobile: true, hasTouch: true });
  await sleep(300);
  await page.screenshot({ path: path.join(shots, 'class-projector-kk.png') });

  // A browser that refuses the stylesheet (the broker names no type for its
  // files) still gets the page's style.
  const strict = await browser.newPage();
  await strict.setRequestInterception(true);
  let refused = false;
  strict.on('request', (request) => {
    if (!refused && request.url().endsWith('/class.css')) {
      refused = true;
      request.respond({ status: 200, contentType: 'text/plain', body: fs.readFileSync(path.join(pageDir, 'class.css')) });
    } else {
      request.continue();
    }
  });
  await strict.goto(`${base}?class=test&lang=en`, { waitUntil: 'load' });
  const sheetRefused = await strict.$eval('link[rel="stylesheet"]', (l) => !l.sheet || l.sheet.cssRules.length === 0);
  const styled = await waitFor('the style', () => strict.$eval('.bar', (n) => getComputedStyle(n).position === 'sticky')).catch(() => false);
  check(refused && sheetRefused && styled, 'the page styles itself when the stylesheet is refused', `${refused} ${sheetRefused} ${styled}`);
  await strict.close();

  // The broker gone, the page says it has no link.
  broker.kill('SIGTERM');
  await new Promise((r) => broker.once('exit', r));
  broker = null;
  const link = await waitFor('no link', async () => {
    const t = await page.$eval('#link', (n) => n.textContent);
    return t.startsWith('байланыс жоқ') ? t : null;
  }).catch(async () => page.$eval('#link', (n) => n.textContent));
  check(link.startsWith('байланыс жоқ'), 'the page says when the link is lost', link);
  check(errors.length === 0, 'no script errors', errors.join(' | '));
}

let status = 0;
try {
  await main();
} catch (e) {
  console.error(`FAIL: ${e.message}`);
  failed++;
} finally {
  if (browser) await browser.close().catch(() => {});
  if (broker) broker.kill('SIGTERM');
  fs.rmSync(scratch, { recursive: true, force: true });
}
console.log(`phone page: ${passed} passed, ${failed} failed (screenshots in ${shots})`);
if (failed) status = 1;
process.exit(status);
