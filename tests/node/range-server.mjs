// Serves the files of a folder with a strong ETag, Last-Modified and byte ranges
// (Range, If-Range), the way portal servers do, for the tests' downloads.
// Usage: node range-server.mjs FOLDER [KEY CERT]   (with KEY and CERT: over TLS)
// Prints "listening PORT", then one line per request:
// "GET /name range=<Range or -> status=<status>".
// "?hold=N": the first such request for a file gets its body up to byte N of the file and then
// nothing more on an open connection, so a pause always lands in the middle of that download.
import fs from 'node:fs';
import http from 'node:http';
import https from 'node:https';
import path from 'node:path';

const [folder, keyFile, certFile] = process.argv.slice(2);
if (!folder) {
  console.error('usage: node range-server.mjs FOLDER');
  process.exit(2);
}

const held = new Set();

// Sends the file from start on, or only up to holdAt and then nothing.
function send(file, start, holdAt, size, response) {
  const stop = Math.min(holdAt, size);
  fs.createReadStream(file, { start, end: stop - 1 }).pipe(response, { end: stop === size });
}

function answer(request, response) {
  const url = new URL(request.url, 'http://x');
  const name = decodeURIComponent(url.pathname.slice(1));
  let holdAt = Infinity;
  if (url.searchParams.has('hold') && !held.has(name)) {
    held.add(name);
    holdAt = Number(url.searchParams.get('hold'));
  }
  const file = path.join(folder, path.basename(name));
  let stat;
  try {
    stat = fs.statSync(file);
  } catch {
    response.writeHead(404, { 'Content-Type': 'text/html' });
    response.end('<html><body>Not found</body></html>');
    return 404;
  }
  const etag = `"${stat.size}-${Math.floor(stat.mtimeMs)}"`;
  const headers = {
    'ETag': etag,
    'Last-Modified': stat.mtime.toUTCString(),
    'Accept-Ranges': 'bytes',
    'Content-Type': 'application/octet-stream',
  };
  const range = /^bytes=(\d+)-$/.exec(request.headers.range ?? '');
  const ifRange = request.headers['if-range'];
  if (range && (!ifRange || ifRange === etag)) {
    const start = Number(range[1]);
    if (start >= stat.size) {
      response.writeHead(416, { 'Content-Range': `bytes */${stat.size}` });
      response.end();
      return 416;
    }
    headers['Content-Range'] = `bytes ${start}-${stat.size - 1}/${stat.size}`;
    headers['Content-Length'] = stat.size - start;
    response.writeHead(206, headers);
    send(file, start, holdAt, stat.size, response);
    return 206;
  }
  headers['Content-Length'] = stat.size;
  response.writeHead(200, headers);
  send(file, 0, holdAt, stat.size, response);
  return 200;
}

function serve(request, response) {
  const status = answer(request, response);
  console.log(`${request.method} ${request.url} range=${request.headers.range ?? '-'} status=${status}`);
}

const server = keyFile
  ? https.createServer({ key: fs.readFileSync(keyFile), cert: fs.readFileSync(certFile) }, serve)
  : http.createServer(serve);
server.listen(0, '127.0.0.1', () => console.log(`listening ${server.address().port}`));
