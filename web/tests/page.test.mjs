// The built page in headless Chromium against the real engine: whole dialogues as a player has them.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { existsSync, mkdirSync, mkdtempSync, readFileSync, rmSync, statSync } from 'node:fs';
import { setPriority, tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { after, before, describe, test } from 'node:test';
import { Chess } from 'chessops/chess';
import { parseFen } from 'chessops/fen';
import { parseSan } from 'chessops/san';
import { makeSquare } from 'chessops/util';
import { ENGINE_FILES } from '../vite.config.js';
import { startServer } from './server.mjs';

const web = resolve(import.meta.dirname, '..');
const engineDir = resolve(web, process.env.TALVARIND_WEB_BUILD || '../build-web');
// Screenshots go beside the engine build unless told otherwise.
const shotsDir = resolve(web, process.env.TALVARIND_WEB_SHOTS || engineDir);
const chromiumPath = process.env.CHROMIUM || '/usr/bin/chromium';

// The machine runs engine matches beside these tests: Chromium and the engine yield to them,
// and the bounds are ten times what a quiet machine needs.
setPriority(19);
const SLOW = 60_000;
const MATE_IN_ONE = '6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1';

const missing = [];
if (!existsSync(chromiumPath)) missing.push(`chromium (${chromiumPath}; apt-get install chromium)`);
const absent = ENGINE_FILES.filter((f) => !existsSync(join(engineDir, f)));
if (absent.length) missing.push(`the engine build in ${engineDir} (${absent.join(', ')})`);
const skip = missing.length ? `needs ${missing.join(' and ')}` : false;
if (skip) console.log(`# browser tests skipped: ${skip}`);

// Centre of a square on the page, for the board as the player sees it.
async function squarePoint(page, square, orientation = 'white') {
  const box = await page.locator('#board cg-board').boundingBox();
  const file = square.charCodeAt(0) - 97;
  const rank = Number(square[1]) - 1;
  const col = orientation === 'white' ? file : 7 - file;
  const row = orientation === 'white' ? 7 - rank : rank;
  return { x: box.x + ((col + 0.5) * box.width) / 8, y: box.y + ((row + 0.5) * box.height) / 8 };
}

async function clickSquare(page, square) {
  const { x, y } = await squarePoint(page, square);
  await page.mouse.click(x, y);
}

// The pieces chessground shows, as "e4 white pawn" strings, sorted.
const boardPieces = (page) =>
  page.$$eval('#board cg-board piece', (els) =>
    els.filter((el) => !el.classList.contains('ghost') && !el.classList.contains('fading')).map((el) => `${el.cgKey} ${el.cgPiece}`).sort(),
  );

function expectedPieces(pos) {
  const pieces = [];
  for (const [sq, piece] of pos.board) pieces.push(`${makeSquare(sq)} ${piece.color} ${piece.role}`);
  return pieces.sort();
}

async function waitForBoard(page, pos) {
  const want = expectedPieces(pos);
  const deadline = Date.now() + SLOW;
  let have;
  while (Date.now() < deadline) {
    have = await boardPieces(page);
    if (JSON.stringify(have) === JSON.stringify(want)) return;
    await page.waitForTimeout(100);
  }
  assert.deepEqual(have, want, 'the board shows the position');
}

// Chessground hands a move to the page a moment after the click, so lists are waited for.
const waitForMoves = (page, count) =>
  page.waitForFunction((n) => document.querySelectorAll('#move-list [data-testid=move]').length === n, count, { timeout: SLOW });

// Chessground draws on the next animation frame, so what it shows is waited for, never read at once.
const waitForCount = (page, selector, count) =>
  page.waitForFunction(([sel, n]) => document.querySelectorAll(sel).length === n, [selector, count], { timeout: SLOW });

const moveList = (page) => page.$$eval('#move-list [data-testid=move]', (els) => els.map((el) => el.textContent));

async function readLines(page) {
  return page.$$eval('#analysis-lines [data-testid=pv-line]', (els) =>
    els.map((el) => ({
      score: el.querySelector('.pv-score').textContent,
      depth: el.querySelector('.pv-depth').textContent,
      moves: el.querySelector('.pv-moves').textContent,
    })),
  );
}

async function waitForLines(page, ok) {
  const deadline = Date.now() + SLOW;
  let lines;
  while (Date.now() < deadline) {
    lines = await readLines(page);
    if (ok(lines)) return lines;
    await page.waitForTimeout(200);
  }
  assert.fail(`the analysis never showed the lines looked for: ${JSON.stringify(lines)}`);
}

async function waitForLog(page, text) {
  await page.waitForFunction((t) => document.getElementById('engine-log').textContent.includes(t), text, { timeout: SLOW });
}

// Decodes the screenshot in the page itself and counts its colours: a blank or one-colour
// image has a handful, a drawn board with pieces hundreds.
async function distinctColours(page, file) {
  const data = readFileSync(file).toString('base64');
  return page.evaluate(async (b64) => {
    const img = new Image();
    img.src = `data:image/png;base64,${b64}`;
    await img.decode();
    const canvas = new OffscreenCanvas(img.width, img.height);
    const ctx = canvas.getContext('2d');
    ctx.drawImage(img, 0, 0);
    const px = ctx.getImageData(0, 0, img.width, img.height).data;
    const seen = new Set();
    for (let i = 0; i < px.length; i += 4) seen.add((px[i] << 16) | (px[i + 1] << 8) | px[i + 2]);
    return seen.size;
  }, data);
}

async function checkShot(page, name) {
  mkdirSync(shotsDir, { recursive: true });
  const file = join(shotsDir, name);
  await page.screenshot({ path: file, fullPage: true });
  assert.ok(statSync(file).size > 20_000, `${name} is ${statSync(file).size} bytes`);
  const colours = await distinctColours(page, file);
  assert.ok(colours > 50, `${name} has only ${colours} colours`);
}

// Skipped, the suite still counts as one skipped test, so that a run says what it left out.
const suite = skip ? (name) => test(name, { skip }, () => {}) : describe;

suite('the page in Chromium', () => {
  let dist, browser, isolated, plain;

  before(async () => {
    dist = mkdtempSync(join(tmpdir(), 'talvarind-page-'));
    const build = spawnSync('nice', ['-n', '19', process.execPath, join(web, 'node_modules/vite/bin/vite.js'), 'build', '--outDir', dist, '--emptyOutDir'], {
      cwd: web,
      env: { ...process.env, TALVARIND_WEB_BUILD: engineDir },
      encoding: 'utf8',
    });
    assert.equal(build.status, 0, build.stderr + build.stdout);
    isolated = await startServer(dist, [], { nice: true });
    plain = await startServer(dist, ['--no-isolation'], { nice: true });
    const { chromium } = await import('playwright-core');
    browser = await chromium.launch({ executablePath: chromiumPath, args: ['--no-sandbox'] });
  });

  after(async () => {
    await browser?.close();
    isolated?.child.kill();
    plain?.child.kill();
    if (dist) rmSync(dist, { recursive: true, force: true });
  });

  async function openPage(server = isolated) {
    const context = await browser.newContext({ viewport: { width: 1100, height: 760 } });
    const page = await context.newPage();
    const errors = [];
    page.on('pageerror', (e) => errors.push(e.message));
    await page.goto(server.url);
    page.errors = errors;
    return page;
  }

  async function openReady() {
    const page = await openPage();
    await page.locator('#engine-status').getByText('ready', { exact: true }).waitFor({ timeout: SLOW });
    return page;
  }

  async function loadPosition(page, text) {
    await page.fill('#position-input', text);
    await page.click('#load-position');
  }

  test('loads cross-origin isolated and the engine reports ready', async () => {
    const page = await openReady();
    assert.equal(await page.evaluate(() => self.crossOriginIsolated), true);
    assert.ok(await page.locator('#isolation-message').isHidden());
    const threads = await page.$$eval('#threads-select option', (els) => els.map((el) => Number(el.value)));
    assert.equal(threads[0], 1);
    assert.ok(threads.length <= (await page.evaluate(() => navigator.hardwareConcurrency)));

    await page.click('text=Settings');
    await page.selectOption('#threads-select', String(threads.at(-1)));
    await page.selectOption('#hash-select', '16');
    await waitForLog(page, `> setoption name Threads value ${threads.at(-1)}`);
    await waitForLog(page, '> setoption name Hash value 16');
    await page.locator('#engine-status').getByText('ready', { exact: true }).waitFor({ timeout: SLOW });
    assert.deepEqual(page.errors, []);
    await page.context().close();
  });

  test('the player clicks e2 then e4 and the engine answers on the board and in the list', async () => {
    const page = await openReady();
    await page.selectOption('#movetime-select', '300');
    await clickSquare(page, 'e2');
    // A selected piece shows where it may go.
    await waitForCount(page, '#board square.move-dest', 2);
    await clickSquare(page, 'e4');
    await waitForMoves(page, 2);
    const [first, reply] = await moveList(page);
    assert.equal(first, 'e4');
    const pos = Chess.default();
    pos.play(parseSan(pos, 'e4'));
    const move = parseSan(pos, reply);
    assert.ok(move, `the engine's ${reply} is legal after 1. e4`);
    pos.play(move);
    await waitForBoard(page, pos);
    await page.locator('#engine-status').getByText('ready', { exact: true }).waitFor({ timeout: SLOW });
    await checkShot(page, 'play.png');

    // Back and forth through the list, and a take-back returns to the player's turn.
    await page.click('#nav-first');
    await waitForBoard(page, Chess.default());
    await page.locator('#move-list [data-ply="1"]').click();
    const afterE4 = Chess.default();
    afterE4.play(parseSan(afterE4, 'e4'));
    await waitForBoard(page, afterE4);
    await page.click('#nav-last');
    await waitForBoard(page, pos);
    await page.click('#takeback');
    assert.deepEqual(await moveList(page), []);
    await waitForBoard(page, Chess.default());
    assert.deepEqual(page.errors, []);
    await page.context().close();
  });

  test('a move taken back while the engine thinks is not answered', async () => {
    const page = await openReady();
    await page.selectOption('#movetime-select', '10000');
    await clickSquare(page, 'e2');
    await clickSquare(page, 'e4');
    await page.locator('#engine-status').getByText('thinking', { exact: true }).waitFor({ timeout: SLOW });
    await page.click('#takeback');
    await page.locator('#engine-status').getByText('ready', { exact: true }).waitFor({ timeout: SLOW });
    await waitForLog(page, 'bestmove');
    await page.waitForTimeout(1000);
    assert.deepEqual(await moveList(page), []);
    await waitForBoard(page, Chess.default());

    // The engine is free again and answers the next move.
    await page.selectOption('#movetime-select', '300');
    await clickSquare(page, 'd2');
    await clickSquare(page, 'd4');
    await waitForMoves(page, 2);
    assert.equal((await moveList(page))[0], 'd4');
    await page.context().close();
  });

  test('playing Black, the engine opens', async () => {
    const page = await openReady();
    await page.selectOption('#movetime-select', '300');
    await page.selectOption('#side-select', 'black');
    await waitForMoves(page, 1);
    const [opening] = await moveList(page);
    assert.ok(parseSan(Chess.default(), opening), `${opening} opens the game`);
    await page.context().close();
  });

  test('a pasted FEN sets the board, and FEN and PGN come out', async () => {
    const page = await openReady();
    const fen = 'r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3';
    await loadPosition(page, fen);
    await waitForBoard(page, Chess.fromSetup(parseFen(fen).unwrap()).unwrap());
    assert.equal(await page.inputValue('#fen-output'), fen);
    assert.match(await page.inputValue('#pgn-output'), /\[FEN "r1bqkbnr\/pppp1ppp\/2n5\/4p3\/4P3\/5N2\/PPPP1PPP\/RNBQKB1R w KQkq - 2 3"\]/);

    await loadPosition(page, 'not a position');
    assert.ok(await page.locator('#position-error').isVisible());
    assert.equal(await page.inputValue('#fen-output'), fen, 'a bad paste leaves the game alone');

    await loadPosition(page, '1. e4 e5 2. Qh5 Nc6 3. Bc4 Nf6 4. Qxf7#');
    await waitForMoves(page, 7);
    assert.deepEqual(await moveList(page), ['e4', 'e5', 'Qh5', 'Nc6', 'Bc4', 'Nf6', 'Qxf7#']);
    assert.match(await page.textContent('#result'), /Checkmate, White wins \(1-0\)/);
    await page.context().close();
  });

  test('a pawn on the last rank asks which piece it becomes', async () => {
    const page = await openReady();
    await page.click('#mode-analyse');
    await loadPosition(page, '8/P6k/8/8/8/8/8/K7 w - - 0 1');
    await clickSquare(page, 'a7');
    await clickSquare(page, 'a8');
    const chooser = page.locator('#promotion');
    await chooser.waitFor({ state: 'visible', timeout: SLOW });
    await chooser.locator('[data-role=n]').click();
    await waitForMoves(page, 1);
    assert.deepEqual(await moveList(page), ['a8=N']);
    assert.ok(await chooser.isHidden());
    assert.match(await page.inputValue('#fen-output'), /^N7\/7k\//);

    await page.click('#flip');
    await waitForCount(page, '#board.orientation-black', 1);
    await page.context().close();
  });

  test('analysis shows three lines that start with different moves, and stops', async () => {
    const page = await openReady();
    await page.click('#mode-analyse');
    await page.selectOption('#multipv-select', '3');
    await page.click('#analyse-start');
    const lines = await waitForLines(page, (ls) => ls.length === 3 && ls.every((l) => /^1\. \S/.test(l.moves)));
    const firsts = lines.map((l) => l.moves.split(' ')[1]);
    assert.equal(new Set(firsts).size, 3, `first moves ${firsts}`);
    for (const l of lines) {
      assert.match(l.score, /^([+-]\d+\.\d\d|0\.00|#-?\d+)$/);
      assert.match(l.depth, /^d\d+$/);
      assert.ok(parseSan(Chess.default(), firsts[lines.indexOf(l)]), l.moves);
    }
    assert.match(await page.textContent('#nps'), /nodes\/s/);
    assert.ok(await page.locator('#eval-bar').isVisible());
    await checkShot(page, 'analysis.png');

    // A move on the board is analysed in its turn; lines of the old position do not linger.
    await clickSquare(page, 'e2');
    await clickSquare(page, 'e4');
    const replies = await waitForLines(page, (ls) => ls.length === 3 && ls.every((l) => /^1\.\.\. \S/.test(l.moves)));
    const afterE4 = Chess.default();
    afterE4.play(parseSan(afterE4, 'e4'));
    for (const l of replies) assert.ok(parseSan(afterE4, l.moves.split(' ')[1]), l.moves);
    await page.click('#analyse-stop');
    await page.locator('#engine-status').getByText('ready', { exact: true }).waitFor({ timeout: SLOW });
    // Stopped means stopped: the lines stay as they are.
    const stopped = await readLines(page);
    await page.waitForTimeout(1000);
    assert.deepEqual(await readLines(page), stopped);
    assert.deepEqual(page.errors, []);
    await page.context().close();
  });

  test('a mate in one is shown as #1', async () => {
    const page = await openReady();
    await page.click('#mode-analyse');
    await page.selectOption('#multipv-select', '1');
    await loadPosition(page, MATE_IN_ONE);
    await page.click('#analyse-start');
    const [line] = await waitForLines(page, (ls) => ls[0]?.score === '#1');
    assert.match(line.moves, /^1\. Ra8#/);
    await page.click('#analyse-stop');
    await page.context().close();
  });

  test('without cross-origin isolation the page says why the engine cannot run', async () => {
    const page = await openPage(plain);
    const message = page.locator('#isolation-message');
    await message.waitFor({ state: 'visible', timeout: SLOW });
    assert.match(await message.textContent(), /cross-origin isolation \(SharedArrayBuffer\)/);
    assert.equal(await page.evaluate(() => self.crossOriginIsolated), false);
    assert.equal(await page.textContent('#engine-status'), 'unavailable');
    // The board still works for two people.
    await clickSquare(page, 'e2');
    await clickSquare(page, 'e4');
    await waitForMoves(page, 1);
    await page.click('#mode-analyse');
    await clickSquare(page, 'e7');
    await clickSquare(page, 'e5');
    await waitForMoves(page, 2);
    assert.deepEqual(await moveList(page), ['e4', 'e5']);
    await page.context().close();
  });
});
