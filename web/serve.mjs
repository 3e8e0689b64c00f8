// Serves the built page with the headers that make it cross-origin isolated, which the
// engine's threads need (SharedArrayBuffer). --no-isolation leaves them out.
//   node serve.mjs [--root DIR] [--no-isolation]      PORT=8080 by default; PORT=0 picks a free one
import { createReadStream } from 'node:fs';
import { stat } from 'node:fs/promises';
import { createServer } from 'node:http';
import { extname, join, normalize, resolve, sep } from 'node:path';

const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.json': 'application/json',
  '.wasm': 'application/wasm',
  '.png': 'image/png',
  '.svg': 'image/svg+xml',
  '.ico': 'image/x-icon',
  '.map': 'application/json',
  '.txt': 'text/plain; charset=utf-8',
};

const args = process.argv.slice(2);
const isolated = !args.includes('--no-isolation');
const rootArg = args.indexOf('--root');
const root = resolve(rootArg >= 0 ? args[rootArg + 1] : join(import.meta.dirname, 'dist'));
const port = Number(process.env.PORT ?? 8080);

async function fileFor(urlPath) {
  let path;
  try {
    path = normalize(join(root, decodeURIComponent(urlPath)));
  } catch {
    return null;
  }
  if (path !== root && !path.startsWith(root + sep)) return null;
  try {
    const info = await stat(path);
    if (info.isDirectory()) return fileFor(join(urlPath, 'index.html'));
    return info.isFile() ? { path, size: info.size } : null;
  } catch {
    return null;
  }
}

const server = createServer(async (req, res) => {
  const headers = { 'Cache-Control': 'no-cache' };
  if (isolated) {
    headers['Cross-Origin-Opener-Policy'] = 'same-origin';
    headers['Cross-Origin-Embedder-Policy'] = 'require-corp';
    headers['Cross-Origin-Resource-Policy'] = 'same-origin';
  }
  if (req.method !== 'GET' && req.method !== 'HEAD') {
    res.writeHead(405, { ...headers, Allow: 'GET, HEAD' }).end();
    return;
  }
  const file = await fileFor(new URL(req.url, 'http://localhost').pathname);
  if (!file) {
    res.writeHead(404, { ...headers, 'Content-Type': 'text/plain; charset=utf-8' }).end('not found\n');
    return;
  }
  const type = TYPES[extname(file.path).toLowerCase()] ?? 'application/octet-stream';
  res.writeHead(200, { ...headers, 'Content-Type': type, 'Content-Length': file.size });
  if (req.method === 'HEAD') res.end();
  else createReadStream(file.path).pipe(res);
});

server.listen(port, 'localhost', () => {
  const { port: actual } = server.address();
  console.log(`Serving ${root} on http://localhost:${actual}/${isolated ? '' : ' (without cross-origin isolation)'}`);
});
