import assert from 'node:assert/strict';
import { test } from 'node:test';
import { formatCount, formatScore, parseBestmove, parseInfo, parseOption, whiteScore, whiteShare } from '../src/uci.js';

test('info lines', async (t) => {
  const cases = [
    [
      'info depth 12 seldepth 18 multipv 2 score cp -35 nodes 123456 nps 987654 time 125 pv e2e4 e7e5 g1f3',
      { depth: 12, seldepth: 18, multipv: 2, score: { cp: -35 }, nodes: 123456, nps: 987654, time: 125, pv: ['e2e4', 'e7e5', 'g1f3'] },
    ],
    ['info depth 5 score mate 3 pv a1a8', { depth: 5, multipv: 1, score: { mate: 3 }, pv: ['a1a8'] }],
    ['info depth 7 score mate -2 nodes 10', { depth: 7, multipv: 1, score: { mate: -2 }, nodes: 10 }],
    ['info depth 9 score cp 20 lowerbound nodes 5', { depth: 9, multipv: 1, score: { cp: 20, bound: 'lowerbound' }, nodes: 5 }],
    ['info depth 3 currmove e2e4 currmovenumber 1', { depth: 3, multipv: 1 }],
    ['info nodes 100 hashfull 12 tbhits 0', { multipv: 1, nodes: 100, hashfull: 12, tbhits: 0 }],
    ['info string Threads set to 2', { multipv: 1, string: 'Threads set to 2' }],
    ['  info   depth 1   score cp 0 pv d2d4  ', { depth: 1, multipv: 1, score: { cp: 0 }, pv: ['d2d4'] }],
    ['bestmove e2e4', null],
    ['readyok', null],
  ];
  for (const [line, expected] of cases) {
    await t.test(line, () => assert.deepEqual(parseInfo(line), expected));
  }
});

test('bestmove lines', () => {
  const cases = [
    ['bestmove e2e4', { move: 'e2e4', ponder: null }],
    ['bestmove e7e8q ponder a2a1q', { move: 'e7e8q', ponder: 'a2a1q' }],
    ['bestmove (none)', { move: null, ponder: null }],
    ['info depth 1', null],
  ];
  for (const [line, expected] of cases) assert.deepEqual(parseBestmove(line), expected, line);
});

test('option lines', () => {
  const cases = [
    ['option name Threads type spin default 1 min 1 max 64', { name: 'Threads', type: 'spin', default: '1', min: 1, max: 64 }],
    ['option name Hash type spin default 16 min 1 max 33554432', { name: 'Hash', type: 'spin', default: '16', min: 1, max: 33554432 }],
    ['option name Clear Hash type button', { name: 'Clear Hash', type: 'button' }],
    ['option name Ponder type check default false', { name: 'Ponder', type: 'check', default: 'false' }],
    ['id name Talvarind', null],
  ];
  for (const [line, expected] of cases) assert.deepEqual(parseOption(line), expected, line);
});

test('scores are shown for White', () => {
  const cases = [
    [{ cp: 35 }, 'white', '+0.35'],
    [{ cp: 35 }, 'black', '-0.35'],
    [{ cp: -120 }, 'white', '-1.20'],
    [{ cp: -7 }, 'black', '+0.07'],
    [{ cp: 0 }, 'black', '0.00'],
    [{ cp: 1234 }, 'white', '+12.34'],
    [{ mate: 1 }, 'white', '#1'],
    [{ mate: 1 }, 'black', '#-1'],
    [{ mate: -4 }, 'white', '#-4'],
    [{ mate: -4 }, 'black', '#4'],
    [undefined, 'white', ''],
  ];
  for (const [score, turn, text] of cases) {
    assert.equal(formatScore(whiteScore(score, turn)), text, `${JSON.stringify(score)} ${turn} to move`);
  }
});

test('a bound turns over with the side', () => {
  assert.deepEqual(whiteScore({ cp: 20, bound: 'lowerbound' }, 'black'), { cp: -20, bound: 'upperbound' });
});

test('the evaluation bar', () => {
  assert.equal(whiteShare(undefined), 0.5);
  assert.equal(whiteShare({ cp: 0 }), 0.5);
  assert.equal(whiteShare({ mate: 2 }), 1);
  assert.equal(whiteShare({ mate: -2 }), 0);
  // Monotone, symmetric, and a won position stays short of a mate.
  const shares = [-900, -300, -50, 0, 50, 300, 900].map((cp) => whiteShare({ cp }));
  for (let i = 1; i < shares.length; i++) assert.ok(shares[i] > shares[i - 1]);
  assert.ok(Math.abs(shares[2] + shares[4] - 1) < 1e-12);
  assert.ok(shares[6] < 1 && shares[0] > 0);
});

test('counts', () => {
  const cases = [
    [900, '900'],
    [45200, '45.2 k'],
    [1234567, '1.23 M'],
    [undefined, ''],
  ];
  for (const [n, text] of cases) assert.equal(formatCount(n), text);
});
