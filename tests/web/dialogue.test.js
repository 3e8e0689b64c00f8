// The browser build under Node, through the same worker a page starts: whole UCI dialogues, perft and
// the bench. Skipped when the build is not there (make web makes it).
'use strict';

const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const test = require('node:test');

const Root = path.join(__dirname, '..', '..');
const WebBuild = process.env.TALVARIND_WEB_BUILD || path.join(Root, 'build-web');
const Runner = path.join(WebBuild, 'talvarind-uci.js');
const Missing = fs.existsSync(Runner) ? false : `no browser build at ${WebBuild} (make web)`;
// Ten times what a quiet machine shows, and more: the machine may be busy.
const Patience = 120000;

// An engine and everything it has said; expect() waits for a line that matches, reading on from the last.
class Dialogue {
  constructor(args) {
    this.engine = require(Runner).startEngine(args);
    this.lines = [];
    this.read = 0;
    this.wake = null;
    this.engine.addListener((line) => {
      this.lines.push(line);
      if (this.wake) this.wake();
    });
  }

  send(...lines) {
    for (const line of lines) this.engine.postMessage(line);
  }

  async expect(pattern, ms = Patience) {
    const deadline = Date.now() + ms;
    for (;;) {
      while (this.read < this.lines.length) {
        const line = this.lines[this.read++];
        const match = line.match(pattern);
        if (match) return match;
      }
      const left = deadline - Date.now();
      if (left <= 0) throw new Error(`no line matching ${pattern}; the engine said:\n${this.lines.join('\n')}`);
      await new Promise((resolve) => {
        const timer = setTimeout(resolve, left);
        this.wake = () => {
          clearTimeout(timer);
          resolve();
        };
      });
      this.wake = null;
    }
  }

  // Everything said since the line expect() last returned, up to the next match.
  async collect(pattern) {
    const from = this.read;
    await this.expect(pattern);
    return this.lines.slice(from, this.read);
  }

  async quit() {
    this.send('quit');
    return this.engine.exited;
  }
}

test('a UCI dialogue: identity, options, a depth-limited search, end', { skip: Missing }, async () => {
  const d = new Dialogue(['uci']);
  d.send('uci');
  const head = await d.collect(/^uciok$/);
  assert.ok(head.some((l) => /^id name Talvarind/.test(l)), head.join('\n'));
  // The browser's default table is small.
  assert.ok(head.includes('option name Hash type spin default 64 min 1 max 512'), head.join('\n'));
  d.send('isready');
  await d.expect(/^readyok$/);
  d.send('position startpos moves e2e4 e7e5', 'go depth 6');
  const search = await d.collect(/^bestmove /);
  assert.match(search.at(-1), /^bestmove [a-h][1-8][a-h][1-8]/);
  assert.ok(search.some((l) => /^info depth 6 .* pv /.test(l)), search.join('\n'));
  assert.equal(await d.quit(), 0);
});

test('Hash and Threads are set as natively, and two threads search', { skip: Missing }, async () => {
  const d = new Dialogue(['uci']);
  d.send('setoption name Hash value 16', 'setoption name Threads value 2', 'uci');
  const options = await d.collect(/^uciok$/);
  assert.ok(options.includes('option name Hash type spin default 16 min 1 max 512'), options.join('\n'));
  assert.ok(options.some((l) => /^option name Threads type spin default 2 /.test(l)), options.join('\n'));
  d.send('isready');
  await d.expect(/^readyok$/);
  d.send('position fen r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3', 'go depth 8');
  assert.match((await d.expect(/^bestmove (\S+)/))[1], /^[a-h][1-8][a-h][1-8]$/);
  assert.equal(await d.quit(), 0);
});

test('stop ends go infinite with a move', { skip: Missing }, async () => {
  const d = new Dialogue(['uci']);
  d.send('uci', 'isready');
  await d.expect(/^readyok$/);
  d.send('position startpos', 'go infinite');
  await d.expect(/^info depth \d+/);
  d.send('stop');
  await d.expect(/^bestmove [a-h][1-8][a-h][1-8]/);
  // The end of the input with nothing running ends the program as well.
  d.engine.end();
  assert.equal(await d.engine.exited, 0);
});

test('perft 4 from the start is exact', { skip: Missing }, async () => {
  const d = new Dialogue(['shell']);
  d.send('perft 4');
  await d.expect(/Found 197281 moves/);
  assert.equal(await d.quit(), 0);
});

test('the bench counts the native signature', { skip: Missing }, async () => {
  const signature = fs.readFileSync(path.join(Root, 'bench', 'signature.txt'), 'utf8').trim();
  const d = new Dialogue(['bench']);
  const [, nodes] = await d.expect(/^Nodes searched: (\d+)$/, 10 * Patience);
  assert.equal(nodes, signature);
  assert.equal(await d.engine.exited, 0);
});
