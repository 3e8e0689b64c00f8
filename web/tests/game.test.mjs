import assert from 'node:assert/strict';
import { test } from 'node:test';
import { Game, isPromotion, sanLine } from '../src/game.js';
import { parseSquare } from 'chessops/util';

const play = (game, ucis) => {
  for (const uci of ucis.split(' ').filter(Boolean)) assert.ok(game.playUci(uci), `${uci} is legal in ${game.fen()}`);
  return game;
};

test('results', async (t) => {
  const cases = [
    ['fool\'s mate', null, 'f2f3 e7e5 g2g4 d8h4', { result: '0-1', winner: 'black', reason: 'checkmate' }],
    ['back-rank mate', '6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1', 'a1a8', { result: '1-0', winner: 'white', reason: 'checkmate' }],
    ['stalemate by a quiet move', '7k/8/6K1/8/8/8/8/5Q2 w - - 0 1', 'f1f7', { result: '1/2-1/2', winner: null, reason: 'stalemate' }],
    ['stalemate on the board', 'k7/8/1QK5/8/8/8/8/8 b - - 0 1', '', { result: '1/2-1/2', winner: null, reason: 'stalemate' }],
    ['bare kings after a capture', '8/8/8/k7/3q4/3K4/8/8 w - - 0 1', 'd3d4', { result: '1/2-1/2', winner: null, reason: 'insufficient material' }],
    ['king and knight', '8/8/8/3k4/8/3K4/3N4/8 w - - 0 1', '', { result: '1/2-1/2', winner: null, reason: 'insufficient material' }],
    ['king and rook is enough', '8/8/8/3k4/8/3K4/3R4/8 w - - 0 1', '', null],
    ['fifty moves', '8/8/8/3k4/8/3K4/3R4/8 w - - 99 80', 'd2e2', { result: '1/2-1/2', winner: null, reason: 'fifty-move rule' }],
    ['forty-nine and a half', '8/8/8/3k4/8/3K4/3R4/8 w - - 98 80', 'd2e2', null],
    ['a pawn move starts the count again', '8/8/8/3k4/8/3K4/3RP3/8 w - - 99 80', 'e2e3', null],
    ['threefold', null, 'g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1 f6g8', { result: '1/2-1/2', winner: null, reason: 'threefold repetition' }],
    ['twice is not yet a draw', null, 'g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1', null],
  ];
  for (const [name, fen, moves, expected] of cases) {
    await t.test(name, () => {
      const game = play(fen ? Game.fromFen(fen) : new Game(), moves);
      assert.deepEqual(game.outcome(), expected);
    });
  }
});

test('a position is not repeated when castling rights differ', () => {
  // The kings walk out and back: same squares, but the right to castle is gone.
  const game = play(new Game(), 'e2e4 e7e5 e1e2 e8e7 e2e1 e7e8 e1e2 e8e7 e2e1 e7e8');
  assert.equal(game.outcome(), null);
  play(game, 'e1e2 e8e7 e2e1 e7e8');
  assert.equal(game.outcome()?.reason, 'threefold repetition');
});

test('the result is of the ply on view', () => {
  const game = play(new Game(), 'f2f3 e7e5 g2g4 d8h4');
  game.goTo(3);
  assert.equal(game.outcome(), null);
  assert.equal(game.outcome(4).reason, 'checkmate');
});

test('moves in SAN and as engines write them', () => {
  const game = play(new Game(), 'e2e4 e7e5 g1f3 b8c6 f1c4 g8f6 e1g1');
  assert.deepEqual(game.moves.map((m) => m.san), ['e4', 'e5', 'Nf3', 'Nc6', 'Bc4', 'Nf6', 'O-O']);
  assert.equal(game.moves[6].uci, 'e1g1');
  assert.equal(game.positionCommand(), 'position startpos moves e2e4 e7e5 g1f3 b8c6 f1c4 g8f6 e1g1');
  assert.equal(game.positionCommand(2), 'position startpos moves e2e4 e7e5');
  assert.equal(game.positionCommand(0), 'position startpos');
});

test('castling both ways, from either notation', () => {
  const fen = 'r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1';
  const cases = [
    ['e1g1', 'O-O', 'e1g1'],
    ['e1h1', 'O-O', 'e1g1'],
    ['e1c1', 'O-O-O', 'e1c1'],
    ['e1a1', 'O-O-O', 'e1c1'],
  ];
  for (const [input, san, uci] of cases) {
    const game = Game.fromFen(fen);
    assert.equal(game.playUci(input), san, input);
    assert.equal(game.moves[0].uci, uci, input);
  }
  const black = Game.fromFen('r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1');
  assert.equal(black.playUci('e8c8'), 'O-O-O');
  assert.equal(black.moves[0].uci, 'e8c8');
});

test('illegal moves are refused and change nothing', () => {
  const game = new Game();
  for (const uci of ['e2e5', 'e1e2', 'a7a6', 'zz', 'e7e8q']) assert.equal(game.playUci(uci), null, uci);
  assert.equal(game.moves.length, 0);
  assert.equal(game.fen(), 'rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1');
});

test('a move from an earlier ply drops the moves after it', () => {
  const game = play(new Game(), 'e2e4 e7e5 g1f3');
  game.goTo(1);
  assert.equal(game.playUci('c7c5'), 'c5');
  assert.deepEqual(game.moves.map((m) => m.san), ['e4', 'c5']);
  assert.ok(game.atEnd);
});

test('taking back', () => {
  const game = play(new Game(), 'e2e4 e7e5 g1f3');
  game.goTo(1);
  game.takeBack(2);
  assert.equal(game.moves.length, 1);
  assert.equal(game.ply, 1);
  game.takeBack(5);
  assert.equal(game.moves.length, 0);
  assert.equal(game.fen(), new Game().fen());
});

test('FEN in and out', () => {
  const fen = 'r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3';
  const game = Game.parse(fen);
  assert.equal(game.fen(), fen);
  assert.equal(game.positionCommand(), `position fen ${fen}`);
  play(game, 'f1b5');
  assert.equal(game.positionCommand(), `position fen ${fen} moves f1b5`);
});

test('bad positions are refused with a reason', () => {
  const cases = [
    'rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x KQkq - 0 1',
    '8/8/8/8/8/8/8/8 w - - 0 1',
    '4k3/8/8/8/8/8/8/4K2R b - - 0 1 extra',
    '1. e4 e5 2. Ke3',
    '1. e4 e4',
    'not a position',
    '',
  ];
  for (const text of cases) assert.throws(() => Game.parse(text), /./, text);
});

test('PGN in and out', () => {
  const game = play(new Game(), 'e2e4 e7e5 g1f3 b8c6 f1b5 a7a6 b5c6 d7c6 e1g1');
  const pgn = game.pgn({ White: 'You', Black: 'Talvarind' });
  assert.match(pgn, /\[White "You"\]/);
  assert.match(pgn, /\[Result "\*"\]/);
  assert.match(pgn, /1\. e4 e5 2\. Nf3 Nc6 3\. Bb5 a6 4\. Bxc6 dxc6 5\. O-O \*/);
  const back = Game.parse(pgn);
  assert.deepEqual(back.moves.map((m) => m.uci), game.moves.map((m) => m.uci));
  assert.equal(back.ply, back.moves.length);
});

test('PGN from a set-up position, with its result', () => {
  const game = play(Game.fromFen('6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1'), 'a1a8');
  const pgn = game.pgn();
  assert.match(pgn, /\[FEN "6k1\/5ppp\/8\/8\/8\/8\/5PPP\/R5K1 w - - 0 1"\]/);
  assert.match(pgn, /\[Result "1-0"\]/);
  assert.match(pgn, /1\. Ra8# 1-0/);
  assert.equal(Game.parse(pgn).outcome().reason, 'checkmate');
});

test('a PGN of headers alone is the starting position', () => {
  assert.equal(Game.parse('[Event "x"]').fen(), new Game().fen());
});

test('PGN pasted with comments and variations keeps the main line', () => {
  const game = Game.parse('[Event "x"]\n\n1. d4 {a comment} d5 (1... Nf6 2. c4) 2. c4 e6 *');
  assert.deepEqual(game.moves.map((m) => m.san), ['d4', 'd5', 'c4', 'e6']);
});

test('engine lines in SAN', () => {
  const start = new Game().pos;
  const afterE4 = play(new Game(), 'e2e4').pos;
  const cases = [
    [start, ['e2e4', 'e7e5', 'g1f3'], '1. e4 e5 2. Nf3'],
    [afterE4, ['c7c5', 'g1f3'], '1... c5 2. Nf3'],
    // A line for another position stops where it no longer fits.
    [start, ['e2e4', 'e2e4'], '1. e4'],
    [afterE4, ['e2e4'], ''],
    [Game.fromFen('6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1').pos, ['a1a8'], '1. Ra8#'],
    [Game.fromFen('8/P6k/8/8/8/8/8/K7 w - - 0 1').pos, ['a7a8n'], '1. a8=N'],
  ];
  for (const [pos, pv, text] of cases) assert.equal(sanLine(pos, pv), text, pv.join(' '));
  assert.equal(start.fullmoves, 1, 'the position shown is not touched');
});

test('which moves ask for a promotion piece', () => {
  const pos = Game.fromFen('1n5k/P7/8/8/8/8/p7/K7 w - - 0 1').pos;
  const cases = [
    ['a7', 'a8', true],
    ['a7', 'b8', true],
    ['a1', 'a2', false],
    ['a1', 'b1', false],
    ['a2', 'a1', true],
  ];
  for (const [from, to, expected] of cases) assert.equal(isPromotion(pos, parseSquare(from), parseSquare(to)), expected, `${from}${to}`);
});
