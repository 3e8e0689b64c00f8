// The game as the page keeps it: a start position, the moves since, and which ply is on view.
// Rules come from chessops; this file only keeps the record and names the result.
import { Chess, castlingSide, normalizeMove } from 'chessops/chess';
import { INITIAL_FEN, makeFen, parseFen } from 'chessops/fen';
import { makeSan, parseSan } from 'chessops/san';
import { makeUci, parseUci, makeSquare, squareRank } from 'chessops/util';
import { ChildNode, defaultGame, emptyHeaders, makePgn, parsePgn, startingPosition } from 'chessops/pgn';

// Board, side, castling and en passant: what makes two positions the same for repetition.
const repetitionKey = (pos) => makeFen(pos.toSetup()).split(' ').slice(0, 4).join(' ');

export class Game {
  constructor(start = Chess.default()) {
    this.positions = [start];
    this.moves = []; // { move (chessops, normalised), uci (as engines write it), san }
    this.ply = 0;
  }

  static fromFen(fen) {
    const setup = parseFen(fen.trim());
    if (setup.isErr) throw new Error(`Not a valid FEN: ${setup.error.message}`);
    const pos = Chess.fromSetup(setup.value);
    if (pos.isErr) throw new Error(`Not a legal position: ${pos.error.message}`);
    return new Game(pos.value);
  }

  static fromPgn(text) {
    const [pgn] = parsePgn(text, emptyHeaders);
    // The parser skips what it cannot read, so plain words come back as an empty game.
    if (!pgn || (pgn.headers.size === 0 && !pgn.moves.children.length)) {
      throw new Error('Neither a FEN nor a PGN game');
    }
    const start = startingPosition(pgn.headers);
    if (start.isErr) throw new Error(`Bad starting position in the PGN: ${start.error.message}`);
    const game = new Game(start.value);
    for (const node of pgn.moves.mainline()) {
      const move = parseSan(game.last, node.san);
      if (!move) throw new Error(`Illegal move in the PGN: ${node.san}`);
      game.play(move);
    }
    return game;
  }

  // A pasted text is a FEN if it looks like one (a board with seven slashes), else PGN.
  static parse(text) {
    const trimmed = text.trim();
    if (/^[1-8pnbrqkPNBRQK]+(\/[1-8pnbrqkPNBRQK]+){7}(\s|$)/.test(trimmed)) return Game.fromFen(trimmed);
    return Game.fromPgn(trimmed);
  }

  get start() {
    return this.positions[0];
  }

  get last() {
    return this.positions[this.positions.length - 1];
  }

  get pos() {
    return this.positions[this.ply];
  }

  get atEnd() {
    return this.ply === this.moves.length;
  }

  // Plays a chessops move from the ply on view; later moves are dropped, as on a real board.
  // Returns the SAN, or null when the move is not legal there.
  play(move) {
    const before = this.pos;
    const normal = normalizeMove(before, move);
    if (!before.isLegal(normal)) return null;
    const san = makeSan(before, normal);
    const after = before.clone();
    after.play(normal);
    this.positions.length = this.ply + 1;
    this.moves.length = this.ply;
    this.positions.push(after);
    this.moves.push({ move: normal, uci: engineUci(before, normal), san });
    this.ply++;
    return san;
  }

  playUci(uci) {
    const move = parseUci(uci);
    return move ? this.play(move) : null;
  }

  // Removes the last `count` plies and shows the new last position.
  takeBack(count = 1) {
    const keep = Math.max(0, this.moves.length - count);
    this.positions.length = keep + 1;
    this.moves.length = keep;
    this.ply = keep;
  }

  goTo(ply) {
    this.ply = Math.max(0, Math.min(this.moves.length, ply));
  }

  // Why the game is over at the ply on view, or null while it goes on.
  outcome(ply = this.ply) {
    const pos = this.positions[ply];
    if (pos.isCheckmate()) {
      const winner = pos.turn === 'white' ? 'black' : 'white';
      return { result: winner === 'white' ? '1-0' : '0-1', winner, reason: 'checkmate' };
    }
    if (pos.isStalemate()) return draw('stalemate');
    if (pos.isInsufficientMaterial()) return draw('insufficient material');
    if (pos.halfmoves >= 100) return draw('fifty-move rule');
    const key = repetitionKey(pos);
    let seen = 0;
    // Only positions since the last capture or pawn move can repeat.
    for (let i = ply; i >= 0 && i >= ply - pos.halfmoves; i--) {
      if (repetitionKey(this.positions[i]) === key) seen++;
    }
    if (seen >= 3) return draw('threefold repetition');
    return null;
  }

  fen(ply = this.ply) {
    return makeFen(this.positions[ply].toSetup());
  }

  // The UCI "position" command for the ply on view, with the moves that lead there so
  // that the engine knows which positions have been seen.
  positionCommand(ply = this.ply) {
    const startFen = makeFen(this.start.toSetup());
    const base = startFen === INITIAL_FEN ? 'position startpos' : `position fen ${startFen}`;
    const moves = this.moves.slice(0, ply).map((m) => m.uci);
    return moves.length ? `${base} moves ${moves.join(' ')}` : base;
  }

  pgn(headers = {}) {
    const pgn = defaultGame();
    for (const [name, value] of Object.entries(headers)) pgn.headers.set(name, value);
    const startFen = makeFen(this.start.toSetup());
    if (startFen !== INITIAL_FEN) {
      pgn.headers.set('SetUp', '1');
      pgn.headers.set('FEN', startFen);
    }
    const outcome = this.outcome(this.moves.length);
    pgn.headers.set('Result', outcome ? outcome.result : '*');
    let node = pgn.moves;
    for (const { san } of this.moves) {
      const child = new ChildNode({ san });
      node.children.push(child);
      node = child;
    }
    return makePgn(pgn);
  }
}

const draw = (reason) => ({ result: '1/2-1/2', winner: null, reason });

// chessops writes castling as king takes rook (e1h1); engines expect the king's own step (e1g1).
export function engineUci(pos, move) {
  const side = castlingSide(pos, move);
  if (!side) return makeUci(move);
  const rank = squareRank(move.from);
  return makeSquare(move.from) + makeSquare(rank * 8 + (side === 'h' ? 6 : 2));
}

// A line of engine moves in SAN with move numbers, from `pos`; stops at the first move that
// does not fit (a line that belongs to a position already left behind).
export function sanLine(pos, uciMoves) {
  const p = pos.clone();
  const parts = [];
  for (const uci of uciMoves) {
    const parsed = parseUci(uci);
    if (!parsed) break;
    const move = normalizeMove(p, parsed);
    if (!p.isLegal(move)) break;
    const number = p.fullmoves;
    if (p.turn === 'white') parts.push(`${number}.`);
    else if (parts.length === 0) parts.push(`${number}...`);
    parts.push(makeSan(p, move));
    p.play(move);
  }
  return parts.join(' ');
}

// A promotion is asked for when a pawn reaches the last rank.
export function isPromotion(pos, from, to) {
  const piece = pos.board.get(from);
  if (!piece || piece.role !== 'pawn') return false;
  const rank = squareRank(to);
  return rank === 0 || rank === 7;
}
