import assert from 'node:assert/strict';
import { mkdirSync, mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { request } from 'node:http';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { after, before, test } from 'node:test';
import { startServer } from './server.mjs';

const root = mkdtempSync(join(tmpdir(), 'talvarind-serve-'));
mkdirSync(join(root, 'engine'));
writeFileSync(join(root, 'index.html'), '<!doctype html><title>page</title>');
writeFileSync(join(root, 'engine', 'talvarind.wasm'), Buffer.from([0, 0x61, 0x73, 0x6d]));
writeFileSync(join(root, 'engine', 'talvarind-worker.js'), 'postMessage(1)');
writeFileSync(join(root, 'style.css'), 'body{}');
writeFileSync(join(tmpdir(), 'talvarind-serve-secret.txt'), 'outside the root');

// A raw request, so that paths like /../x reach the server as written.
const get = (port, path, method = 'GET') =>
  new Promise((resolve, reject) => {
    const req = request({ host: 'localhost', port, path, method }, (res) => {
      let body = '';
      res.on('data', (d) => (body += d));
      res.on('end', () => resolve({ status: res.statusCode, headers: res.headers, body }));
    });
    req.on('error', reject);
    req.end();
  });

let isolated, plain;
before(async () => {
  [isolated, plain] = await Promise.all([startServer(root), startServer(root, ['--no-isolation'])]);
});
after(() => {
  isolated.child.kill();
  plain.child.kill();
  rmSync(root, { recursive: true, force: true });
});

test('says where it serves', () => {
  assert.match(isolated.out, new RegExp(`on http://localhost:${isolated.port}/`));
  assert.match(plain.out, /without cross-origin isolation/);
});

test('files with their types', async () => {
  const cases = [
    ['/', 200, 'text/html; charset=utf-8'],
    ['/index.html', 200, 'text/html; charset=utf-8'],
    ['/engine/talvarind.wasm', 200, 'application/wasm'],
    ['/engine/talvarind-worker.js', 200, 'text/javascript; charset=utf-8'],
    ['/style.css?v=2', 200, 'text/css; charset=utf-8'],
    ['/missing.js', 404, 'text/plain; charset=utf-8'],
    ['/engine', 404, 'text/plain; charset=utf-8'],
    ['/../talvarind-serve-secret.txt', 404, 'text/plain; charset=utf-8'],
    ['/%2e%2e/talvarind-serve-secret.txt', 404, 'text/plain; charset=utf-8'],
    ['/%E0%A4%A', 404, 'text/plain; charset=utf-8'],
  ];
  for (const [path, status, type] of cases) {
    const res = await get(isolated.port, path);
    assert.equal(res.status, status, path);
    assert.equal(res.headers['content-type'], type, path);
    assert.doesNotMatch(res.body, /outside the root/, path);
  }
});

test('the isolation headers, on every answer, unless told not to', async () => {
  for (const path of ['/', '/engine/talvarind.wasm', '/missing.js']) {
    const on = await get(isolated.port, path);
    assert.equal(on.headers['cross-origin-opener-policy'], 'same-origin', path);
    assert.equal(on.headers['cross-origin-embedder-policy'], 'require-corp', path);
    const off = await get(plain.port, path);
    assert.equal(off.headers['cross-origin-opener-policy'], undefined, path);
    assert.equal(off.headers['cross-origin-embedder-policy'], undefined, path);
  }
});

test('HEAD has the length and no body; other methods are refused', async () => {
  const head = await get(isolated.port, '/engine/talvarind.wasm', 'HEAD');
  assert.equal(head.status, 200);
  assert.equal(head.headers['content-length'], '4');
  assert.equal(head.body, '');
  assert.equal((await get(isolated.port, '/', 'POST')).status, 405);
});
