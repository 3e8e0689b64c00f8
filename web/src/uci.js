// What the engine says, turned into plain values. No DOM here, so node can test it.

const NUMERIC = new Set(['depth', 'seldepth', 'multipv', 'nodes', 'nps', 'time', 'hashfull', 'tbhits']);

// "info depth 12 multipv 2 score cp -35 nodes 1000 nps 5000 pv e2e4 e7e5"
// -> { depth: 12, multipv: 2, score: { cp: -35 }, nodes: 1000, nps: 5000, pv: ['e2e4', 'e7e5'] }.
// Returns null for lines that are not info lines; "info string" carries no search data.
export function parseInfo(line) {
  const words = line.trim().split(/\s+/);
  if (words[0] !== 'info') return null;
  const info = { multipv: 1 };
  for (let i = 1; i < words.length; i++) {
    const key = words[i];
    if (key === 'string') {
      info.string = words.slice(i + 1).join(' ');
      break;
    }
    if (key === 'pv') {
      info.pv = words.slice(i + 1);
      break;
    }
    if (key === 'score') {
      const kind = words[i + 1];
      const value = Number(words[i + 2]);
      if ((kind === 'cp' || kind === 'mate') && Number.isFinite(value)) {
        info.score = { [kind]: value };
        i += 2;
        // A bound is not the line's value; the page shows it but keeps the flag.
        if (words[i + 1] === 'lowerbound' || words[i + 1] === 'upperbound') {
          info.score.bound = words[++i];
        }
      }
      continue;
    }
    if (NUMERIC.has(key)) {
      const value = Number(words[i + 1]);
      if (Number.isFinite(value)) info[key] = value;
      i++;
    }
  }
  return info;
}

// "bestmove e2e4 ponder e7e5" -> { move: 'e2e4', ponder: 'e7e5' }; "(none)" -> move null.
export function parseBestmove(line) {
  const words = line.trim().split(/\s+/);
  if (words[0] !== 'bestmove') return null;
  const move = words[1] && words[1] !== '(none)' ? words[1] : null;
  const ponder = words[2] === 'ponder' && words[3] ? words[3] : null;
  return { move, ponder };
}

// "option name Threads type spin default 1 min 1 max 64" -> { name: 'Threads', type: 'spin', default: '1', min: 1, max: 64 }.
export function parseOption(line) {
  const m = /^option name (.+?) type (\S+)(.*)$/.exec(line.trim());
  if (!m) return null;
  const option = { name: m[1], type: m[2] };
  const rest = m[3];
  const def = /\bdefault (\S*)/.exec(rest);
  if (def) option.default = def[1];
  const min = /\bmin (-?\d+)/.exec(rest);
  const max = /\bmax (-?\d+)/.exec(rest);
  if (min) option.min = Number(min[1]);
  if (max) option.max = Number(max[1]);
  return option;
}

// The engine scores for the side to move; the page always speaks for White.
export function whiteScore(score, turn) {
  if (!score || turn === 'white') return score;
  const flipped = { ...score };
  if ('cp' in score) flipped.cp = -score.cp;
  if ('mate' in score) flipped.mate = -score.mate;
  if (score.bound) flipped.bound = score.bound === 'lowerbound' ? 'upperbound' : 'lowerbound';
  return flipped;
}

// { cp: 35 } -> "+0.35", { cp: -120 } -> "-1.20", { mate: 3 } -> "#3", { mate: -2 } -> "#-2".
export function formatScore(score) {
  if (!score) return '';
  if ('mate' in score) return `#${score.mate}`;
  const cp = score.cp;
  if (cp === 0) return '0.00';
  const text = (Math.abs(cp) / 100).toFixed(2);
  return (cp > 0 ? '+' : '-') + text;
}

// Share of the evaluation bar that is White's, 0..1. The curve makes a pawn visible
// and keeps a won position short of a full bar; a mate fills it.
export function whiteShare(score) {
  if (!score) return 0.5;
  if ('mate' in score) return score.mate > 0 ? 1 : 0;
  return 1 / (1 + Math.exp(-score.cp / 300));
}

// 1234567 -> "1.23 M", 45200 -> "45.2 k", 900 -> "900".
export function formatCount(n) {
  if (!Number.isFinite(n)) return '';
  if (n >= 1e6) return `${(n / 1e6).toFixed(2)} M`;
  if (n >= 1e3) return `${(n / 1e3).toFixed(1)} k`;
  return String(n);
}
