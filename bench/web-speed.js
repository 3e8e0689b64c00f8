#!/usr/bin/env node
// The browser build's speed against the native program's: the bench positions searched to a fixed depth
// through the same UCI dialogue, one thread and two, native and WebAssembly in alternation so that the
// machine's drift falls on both alike. Prints nodes per second of each run and the medians' ratios.
//   node bench/web-speed.js [--depth D] [--rounds N] [--native PATH] [--web PATH-TO-talvarind-uci.js]
'use strict';

const path = require('path');
const { spawn } = require('child_process');

const Root = path.join(__dirname, '..');
const Options = { depth: 11, rounds: 3, native: path.join(Root, 'build', 'talvarind'),
  web: path.join(Root, 'build-web', 'talvarind-uci.js') };
for (let i = 2; i + 1 < process.argv.length; i += 2) Options[process.argv[i].replace(/^--/, '')] = process.argv[i + 1];

// The bench's own positions, read from its header so that the two never drift apart.
const Positions = require('fs').readFileSync(path.join(Root, 'src/engine/search/Bench.h'), 'utf8')
  .split('\n').map((line) => line.match(/^\s+"([^"]+ [wb] [^"]+)",$/)).filter(Boolean).map((m) => m[1]);

function engine(kind) {
  const child = kind === 'native' ? spawn(Options.native, ['uci']) : spawn(process.execPath, [Options.web]);
  let buffer = '';
  let waiter = null;
  const lines = [];
  child.stdout.on('data', (data) => {
    buffer += data;
    let at;
    while ((at = buffer.indexOf('\n')) >= 0) {
      lines.push(buffer.slice(0, at));
      buffer = buffer.slice(at + 1);
      if (waiter) waiter();
    }
  });
  const until = async (prefix) => {
    for (;;) {
      const index = lines.findIndex((l) => l.startsWith(prefix));
      if (index >= 0) return lines.splice(0, index + 1);
      await new Promise((resolve) => (waiter = resolve));
    }
  };
  return { send: (l) => child.stdin.write(l + '\n'), until, child };
}

// One pass over the positions with Threads threads: total nodes over total search time.
async function pass(kind, threads) {
  const e = engine(kind);
  e.send('uci');
  await e.until('uciok');
  e.send(`setoption name Threads value ${threads}`);
  e.send('setoption name Hash value 64');
  e.send('isready');
  await e.until('readyok');
  let nodes = 0, ms = 0;
  for (const fen of Positions) {
    e.send('ucinewgame');
    e.send(`position fen ${fen}`);
    e.send('isready');
    await e.until('readyok');
    const started = process.hrtime.bigint();
    e.send(`go depth ${Options.depth}`);
    const said = await e.until('bestmove');
    ms += Number(process.hrtime.bigint() - started) / 1e6;
    const last = said.filter((l) => / nodes \d+/.test(l)).pop();
    nodes += Number(last.match(/ nodes (\d+)/)[1]);
  }
  e.send('quit');
  await new Promise((resolve) => e.child.on('exit', resolve));
  return { nodes, ms, nps: Math.round((nodes * 1000) / ms) };
}

const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];

(async () => {
  const runs = { 'native 1': [], 'web 1': [], 'native 2': [], 'web 2': [] };
  for (let round = 1; round <= Number(Options.rounds); ++round) {
    for (const threads of [1, 2]) {
      for (const kind of ['native', 'web']) {
        const r = await pass(kind, threads);
        runs[`${kind} ${threads}`].push(r.nps);
        console.log(`round ${round} ${kind} threads ${threads}: ${r.nodes} nodes in ${Math.round(r.ms)} ms, ${r.nps} nps`);
      }
    }
  }
  const m = Object.fromEntries(Object.entries(runs).map(([k, v]) => [k, median(v)]));
  console.log(`medians (nps): ${JSON.stringify(m)}`);
  console.log(`web over native, one thread: ${(m['web 1'] / m['native 1']).toFixed(2)}`);
  console.log(`web over native, two threads: ${(m['web 2'] / m['native 2']).toFixed(2)}`);
  console.log(`web two threads over one: ${(m['web 2'] / m['web 1']).toFixed(2)}`);
  console.log(`native two threads over one: ${(m['native 2'] / m['native 1']).toFixed(2)}`);
})();
