import { Chessground } from 'chessground';
import { chessgroundDests, chessgroundMove } from 'chessops/compat';
import { charToRole, parseSquare } from 'chessops/util';
import 'chessground/assets/chessground.base.css';
import 'chessground/assets/chessground.brown.css';
import 'chessground/assets/chessground.cburnett.css';
import './style.css';
import { Engine } from './engine.js';
import { Game, isPromotion, sanLine } from './game.js';
import { formatCount, formatScore, whiteScore, whiteShare } from './uci.js';

const $ = (id) => document.getElementById(id);

const state = {
  game: new Game(),
  mode: 'play',
  userColor: 'white',
  orientation: 'white',
  analysing: false,
  lines: new Map(), // multipv -> { info, pos }
  linesFor: '', // the position command the lines belong to
  engine: null,
  ready: false,
  task: null, // what the engine is asked to do now, see wantedTask()
  multipvSent: 1,
};

const board = Chessground($('board'), {
  movable: { free: false, showDests: true, events: { after: onBoardMove } },
  premovable: { enabled: false },
  animation: { duration: 150 },
});

// ---- Moves from the board ----

let pendingPromotion = null;

function onBoardMove(orig, dest) {
  const from = parseSquare(orig);
  const to = parseSquare(dest);
  if (isPromotion(state.game.pos, from, to)) {
    pendingPromotion = { from, to };
    $('promotion').hidden = false;
    return;
  }
  playUserMove({ from, to });
}

for (const button of $('promotion').querySelectorAll('button')) {
  button.addEventListener('click', () => {
    const move = { ...pendingPromotion, promotion: charToRole(button.dataset.role) };
    closePromotion();
    playUserMove(move);
  });
}

function closePromotion() {
  pendingPromotion = null;
  $('promotion').hidden = true;
}

document.addEventListener('keydown', (e) => {
  if (e.key === 'Escape' && pendingPromotion) {
    closePromotion();
    render();
  }
});

function playUserMove(move) {
  state.game.play(move);
  changed();
}

// ---- Drawing ----

function movableColor() {
  const { game, mode, userColor } = state;
  if (pendingPromotion || game.outcome()) return undefined;
  if (mode === 'analyse') return game.pos.turn;
  return game.pos.turn === userColor ? userColor : undefined;
}

function render() {
  const { game } = state;
  const pos = game.pos;
  const color = movableColor();
  board.set({
    fen: game.fen(),
    orientation: state.orientation,
    turnColor: pos.turn,
    check: pos.isCheck() ? pos.turn : false,
    lastMove: game.ply > 0 ? chessgroundMove(game.moves[game.ply - 1].move) : undefined,
    movable: { color, dests: color ? chessgroundDests(pos) : new Map() },
  });
  renderMoves();
  renderResult();
  $('fen-output').value = game.fen();
  $('pgn-output').value = game.pgn(pgnHeaders());
  $('nav-first').disabled = $('nav-back').disabled = game.ply === 0;
  $('nav-forward').disabled = $('nav-last').disabled = game.atEnd;
  $('takeback').disabled = game.moves.length === 0;
  renderLines();
}

function renderMoves() {
  const { game } = state;
  const list = $('move-list');
  list.replaceChildren();
  const blackFirst = game.start.turn === 'black';
  let item = null;
  game.moves.forEach((m, i) => {
    const whiteMove = (i % 2 === 0) !== blackFirst;
    if (whiteMove || !item) {
      item = document.createElement('li');
      item.value = game.start.fullmoves + Math.floor((i + (blackFirst ? 1 : 0)) / 2);
      if (!whiteMove) item.append(Object.assign(document.createElement('span'), { className: 'move', textContent: '…' }));
      list.append(item);
    }
    const span = document.createElement('span');
    span.className = 'move' + (i + 1 === game.ply ? ' current' : '');
    span.dataset.ply = String(i + 1);
    span.dataset.testid = 'move';
    span.textContent = m.san;
    span.addEventListener('click', () => navigate(i + 1));
    item.append(span);
  });
  list.querySelector('.current')?.scrollIntoView({ block: 'nearest' });
}

const REASONS = {
  checkmate: 'Checkmate',
  stalemate: 'Stalemate',
  'threefold repetition': 'Draw by threefold repetition',
  'fifty-move rule': 'Draw by the fifty-move rule',
  'insufficient material': 'Draw by insufficient material',
};

function renderResult() {
  const outcome = state.game.outcome();
  const el = $('result');
  el.hidden = !outcome;
  if (!outcome) return;
  const who = outcome.winner ? `, ${outcome.winner === 'white' ? 'White' : 'Black'} wins` : '';
  el.textContent = `${REASONS[outcome.reason]}${who} (${outcome.result.replace('1/2', '½')})`;
}

function pgnHeaders() {
  if (state.mode !== 'play') return {};
  const engineName = 'Talvarind';
  return state.userColor === 'white' ? { White: 'You', Black: engineName } : { White: engineName, Black: 'You' };
}

let linesQueued = false;
function renderLinesSoon() {
  if (linesQueued) return;
  linesQueued = true;
  setTimeout(() => {
    linesQueued = false;
    renderLines();
  }, 100);
}

function renderLines() {
  const list = $('analysis-lines');
  list.replaceChildren();
  // Lines are shown only with their own position, not after a move or a step back.
  const current = state.linesFor === state.game.positionCommand();
  const entries = current ? [...state.lines.entries()].sort((a, b) => a[0] - b[0]) : [];
  for (const [, { info, pos }] of entries) {
    const li = document.createElement('li');
    li.dataset.testid = 'pv-line';
    const score = whiteScore(info.score, pos.turn);
    li.append(
      Object.assign(document.createElement('span'), { className: 'pv-score', textContent: formatScore(score) }),
      Object.assign(document.createElement('span'), { className: 'pv-depth', textContent: `d${info.depth ?? '?'}` }),
      Object.assign(document.createElement('span'), { className: 'pv-moves', textContent: sanLine(pos, info.pv ?? []) }),
    );
    list.append(li);
  }
  const best = current ? state.lines.get(1) : null;
  const score = best ? whiteScore(best.info.score, best.pos.turn) : null;
  $('eval-fill').style.height = `${(whiteShare(score) * 100).toFixed(1)}%`;
  $('eval-text').textContent = formatScore(score);
  $('eval-bar').classList.toggle('flipped', state.orientation === 'black');
}

function setStatus(text) {
  $('engine-status').textContent = text;
}

// ---- What the engine should be doing ----

function wantedTask() {
  const { game, mode, engine, ready } = state;
  if (!engine || !ready || game.outcome()) return null;
  if (mode === 'analyse' && state.analysing) {
    const multipv = Number($('multipv-select').value);
    const position = game.positionCommand();
    return { kind: 'analyse', key: `a ${multipv} ${position}`, position, go: 'infinite', multipv };
  }
  if (mode === 'play' && game.atEnd && game.pos.turn !== state.userColor) {
    const position = game.positionCommand();
    const ms = $('movetime-select').value;
    return { kind: 'play', key: `p ${ms} ${position}`, position, go: `movetime ${ms}`, multipv: 1, game };
  }
  return null;
}

async function syncEngine() {
  const want = wantedTask();
  if (want?.key === state.task?.key) return;
  state.task = want;
  const { engine } = state;
  if (!engine || !state.ready) return;
  if (!want) {
    await engine.cancel();
    renderLines();
    if (!state.task) setStatus('ready');
    return;
  }
  await engine.cancel();
  if (state.task !== want) return;
  if (state.multipvSent !== want.multipv) {
    engine.send(`setoption name MultiPV value ${want.multipv}`);
    state.multipvSent = want.multipv;
  }
  state.lines.clear();
  state.linesFor = want.position;
  $('nps').textContent = '';
  renderLines();
  setStatus(want.kind === 'play' ? 'thinking' : 'analysing');
  const pos = state.game.pos;
  const plies = state.game.moves.length;
  const best = await engine.go(want.position, want.go, (info) => {
    if (info.pv && info.pv.length) {
      state.lines.set(info.multipv, { info, pos });
      renderLinesSoon();
    }
    if (info.nps) $('nps').textContent = `${formatCount(info.nps)} nodes/s`;
  });
  if (state.task !== want) return;
  state.task = null;
  setStatus('ready');
  if (want.kind === 'play' && best?.move && state.game === want.game && state.game.moves.length === plies) {
    state.game.playUci(best.move);
    changed();
  }
}

// Every change of game, view or mode comes through here.
function changed() {
  render();
  syncEngine();
}

// ---- Controls ----

function navigate(ply) {
  closePromotion();
  state.game.goTo(ply);
  changed();
}

$('nav-first').addEventListener('click', () => navigate(0));
$('nav-back').addEventListener('click', () => navigate(state.game.ply - 1));
$('nav-forward').addEventListener('click', () => navigate(state.game.ply + 1));
$('nav-last').addEventListener('click', () => navigate(state.game.moves.length));
document.addEventListener('keydown', (e) => {
  if (e.target instanceof HTMLInputElement || e.target instanceof HTMLTextAreaElement || e.target instanceof HTMLSelectElement) return;
  if (e.key === 'ArrowLeft') navigate(state.game.ply - 1);
  if (e.key === 'ArrowRight') navigate(state.game.ply + 1);
});

$('flip').addEventListener('click', () => {
  state.orientation = state.orientation === 'white' ? 'black' : 'white';
  render();
});

function setMode(mode) {
  state.mode = mode;
  for (const tab of document.querySelectorAll('.tabs button')) tab.classList.toggle('active', tab.dataset.mode === mode);
  $('play-controls').hidden = mode !== 'play';
  $('analyse-controls').hidden = mode !== 'analyse';
  $('eval-bar').hidden = mode !== 'analyse';
  if (mode !== 'analyse') setAnalysing(false);
  changed();
}

$('mode-play').addEventListener('click', () => setMode('play'));
$('mode-analyse').addEventListener('click', () => setMode('analyse'));

function setAnalysing(on) {
  state.analysing = on;
  $('analyse-start').disabled = on;
  $('analyse-stop').disabled = !on;
}

$('analyse-start').addEventListener('click', () => {
  setAnalysing(true);
  syncEngine();
});
$('analyse-stop').addEventListener('click', () => {
  setAnalysing(false);
  syncEngine();
});
$('multipv-select').addEventListener('change', () => syncEngine());
$('movetime-select').addEventListener('change', () => syncEngine());

$('side-select').addEventListener('change', (e) => {
  state.userColor = e.target.value;
  state.orientation = state.userColor;
  changed();
});

async function newGame(game = new Game()) {
  closePromotion();
  state.game = game;
  state.lines.clear();
  render();
  if (state.engine && state.ready) {
    state.task = null;
    await state.engine.newGame();
  }
  changed();
}

$('new-game').addEventListener('click', () => newGame());

$('takeback').addEventListener('click', () => {
  const { game } = state;
  game.goTo(game.moves.length);
  // In play, take back to the player's own turn.
  let count = 1;
  if (state.mode === 'play' && game.pos.turn === state.userColor) count = 2;
  game.takeBack(Math.min(count, game.moves.length));
  changed();
});

$('load-position').addEventListener('click', () => {
  const error = $('position-error');
  try {
    const game = Game.parse($('position-input').value);
    error.hidden = true;
    newGame(game);
  } catch (e) {
    error.textContent = e.message;
    error.hidden = false;
  }
});

async function copy(id) {
  const field = $(id);
  try {
    await navigator.clipboard.writeText(field.value);
  } catch {
    field.select();
    document.execCommand('copy');
  }
}

$('copy-fen').addEventListener('click', () => copy('fen-output'));
$('copy-pgn').addEventListener('click', () => copy('pgn-output'));

async function applySettings() {
  const { engine } = state;
  if (!engine || !state.ready) return;
  state.task = null;
  await engine.cancel();
  await engine.setOptions({ Threads: $('threads-select').value, Hash: $('hash-select').value });
  syncEngine();
}

$('threads-select').addEventListener('change', applySettings);
$('hash-select').addEventListener('change', applySettings);

// ---- Start-up ----

// The last lines each way, for the curious and for finding faults; info lines come by the
// hundred, so only the newest are kept.
const LOG_LINES = 300;
const log = [];
let logQueued = false;
function logLine(line) {
  log.push(line);
  if (log.length > LOG_LINES) log.splice(0, log.length - LOG_LINES);
  if (logQueued) return;
  logQueued = true;
  setTimeout(() => {
    logQueued = false;
    $('engine-log').textContent = log.join('\n');
  }, 200);
}

function fillThreads(max) {
  const select = $('threads-select');
  select.replaceChildren();
  for (let n = 1; n <= max; n++) select.append(new Option(String(n), String(n)));
  // One core is left to the page itself.
  select.value = String(Math.max(1, max - 1));
}

function limitHash(max) {
  for (const option of $('hash-select').options) option.disabled = Number(option.value) > max;
}

async function startEngine() {
  if (!self.crossOriginIsolated || typeof SharedArrayBuffer === 'undefined') {
    const message = $('isolation-message');
    message.textContent =
      'This page needs cross-origin isolation (SharedArrayBuffer) to run the engine; serve it with make web-run.';
    message.hidden = false;
    setStatus('unavailable');
    return;
  }
  const engine = new Engine(new URL('engine/talvarind-worker.js', document.baseURI), {
    onLine: logLine,
    onError: (message) => setStatus(`error: ${message}`),
  });
  state.engine = engine;
  await engine.start();
  const threads = engine.options.get('Threads');
  fillThreads(Math.max(1, Math.min(navigator.hardwareConcurrency || 1, threads?.max ?? 1)));
  limitHash(engine.options.get('Hash')?.max ?? 512);
  await engine.setOptions({ Threads: $('threads-select').value, Hash: $('hash-select').value });
  state.ready = true;
  setStatus('ready');
  syncEngine();
}

fillThreads(navigator.hardwareConcurrency || 1);
render();
startEngine();
