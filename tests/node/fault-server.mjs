// A tus and download server that misbehaves on purpose, the way broken servers and
// proxies do, and records what it received.
// Usage: node fault-server.mjs FOLDER [KEY CERT]   (with KEY and CERT: over TLS)
// The first path segment names the faults, comma-separated, "ok" for none:
//   /<faults>/files/       tus endpoint (creation, termination); uploads land in FOLDER/uploads/
//   /<faults>/get/<name>   the file FOLDER/<name>, with ETag and ranges
// Upload faults, for every upload:
//   too-large     PATCH bodies over 4 MiB are read and answered 413, as a proxy does
//   lie-ahead     the first PATCH kept is answered with Upload-Offset = Upload-Length
//   conflict      the first PATCH kept keeps only half its body and answers 409
//   locked        the first two PATCH requests are answered 423
//   burst         the first PATCH 503; then the first HEAD is cut, the second answered 502
//   no-offset     the first PATCH 409; every HEAD answers without Upload-Offset
//   conflict-always  every PATCH 409, while HEAD names the offset it was sent
//   lose          every PATCH 404, as if the server had forgotten the upload
//   stall         the first PATCH kept is never answered
//   location-host the creation names an upload on "localhost" instead of 127.0.0.1
//   location-http the creation names an http upload address (for a TLS server)
//   max-size      OPTIONS names Tus-Max-Size 1 MiB
//   sha1, sha256  the checksum extension with this algorithm; bodies are verified (460)
//   drop-reused   a PATCH on a connection that already carried a request is cut before any
//                 answer, as by a proxy that closes kept connections without saying so
// Download faults (each applies to the first GET of a file under these faults):
//   truncate      the first GET sends half the body and cuts the connection
//   etag-change   the first GET sends half of FOLDER/<name> and cuts; later ones serve
//                 FOLDER/<name>.next under a new ETag
//   no-length     bodies go without Content-Length
//   stall         the first GET sends half the body and then nothing
//   416           every GET is answered 416, with a Range or without
// Prints "listening PORT", then one line per request:
// "METHOD path offset=<Upload-Offset> received=<body bytes> range=<Range> status=<status>",
// with " resent=<bytes>" when a PATCH repeats bytes this server had confirmed and
// " checksum=<algorithm>:<ok|bad>" when the request carried one.
import crypto from 'node:crypto';
import fs from 'node:fs';
import http from 'node:http';
import https from 'node:https';
import path from 'node:path';

const [folder, keyFile, certFile] = process.argv.slice(2);
if (!folder) {
  console.error('usage: node fault-server.mjs FOLDER [KEY CERT]');
  process.exit(2);
}
const uploadFolder = path.join(folder, 'uploads');
fs.mkdirSync(uploadFolder, { recursive: true });

const ProxyLimit = 4 * 1024 * 1024;
const MaxSize = 1024 * 1024;
const uploads = new Map();
const seen = new Map();
let lastId = 0;

// How many times this kind of request was seen before for this upload or file.
function count(key) {
  const times = seen.get(key) ?? 0;
  seen.set(key, times + 1);
  return times;
}

function readBody(request) {
  return new Promise((resolve) => {
    const pieces = [];
    request.on('data', (piece) => pieces.push(piece));
    request.on('end', () => resolve(Buffer.concat(pieces)));
    request.on('error', () => resolve(Buffer.concat(pieces)));
  });
}

function tusHeaders(extra = {}) {
  return { 'Tus-Resumable': '1.0.0', 'Cache-Control': 'no-store', ...extra };
}

function checksumOf(faults) {
  return ['sha256', 'sha1'].find((name) => faults.has(name));
}

async function options(faults, log, response) {
  const headers = tusHeaders({ 'Tus-Version': '1.0.0', 'Tus-Extension': 'creation,termination' });
  const algorithm = checksumOf(faults);
  if (algorithm) {
    headers['Tus-Extension'] += ',checksum';
    headers['Tus-Checksum-Algorithm'] = algorithm === 'sha1' ? 'md5,sha1' : 'sha1,sha256';
  }
  if (faults.has('max-size')) {
    headers['Tus-Max-Size'] = String(MaxSize);
  }
  log.status = 204;
  response.writeHead(204, headers).end();
}

function create(faults, prefix, request, log, response, secure) {
  const length = Number(request.headers['upload-length']);
  if (!Number.isSafeInteger(length) || length < 0) {
    log.status = 400;
    response.writeHead(400, tusHeaders()).end();
    return;
  }
  if (faults.has('max-size') && length > MaxSize) {
    log.status = 413;
    response.writeHead(413, tusHeaders()).end();
    return;
  }
  const id = String(++lastId);
  const file = path.join(uploadFolder, id);
  fs.writeFileSync(file, '');
  uploads.set(id, { file, length, offset: 0, confirmed: 0, writes: 0 });
  const host = request.headers.host;
  let location = `/${prefix}/files/${id}`;
  if (faults.has('location-host')) {
    location = `http://localhost:${host.split(':')[1]}${location}`;
  } else if (faults.has('location-http') && secure) {
    location = `http://${host}${location}`;
  }
  log.status = 201;
  response.writeHead(201, tusHeaders({ Location: location })).end();
}

function verifyChecksum(field, body, log) {
  const [algorithm, digest] = (field ?? '').split(' ');
  let ok = false;
  try {
    ok = crypto.createHash(algorithm).update(body).digest('base64') === digest;
  } catch {
    // An algorithm this server does not know: the body cannot be verified.
  }
  log.checksum = `${algorithm}:${ok ? 'ok' : 'bad'}`;
  return ok;
}

async function patch(faults, upload, id, request, log, response) {
  const offset = Number(request.headers['upload-offset']);
  const body = await readBody(request);
  log.received = body.length;
  if (offset < upload.confirmed) {
    log.resent = upload.confirmed - offset;
  }
  const times = count(`${id}:PATCH`);
  const answer = (status, extra = {}) => {
    log.status = status;
    response.writeHead(status, tusHeaders(extra)).end();
  };
  if (faults.has('too-large') && body.length > ProxyLimit) {
    return answer(413);
  }
  if (faults.has('lose')) {
    return answer(404);
  }
  if (offset !== upload.offset || faults.has('conflict-always')) {
    return answer(409);
  }
  if (faults.has('locked') && times < 2) {
    return answer(423);
  }
  if (faults.has('burst') && times === 0) {
    return answer(503);
  }
  if (faults.has('no-offset') && times === 0) {
    return answer(409);
  }
  if (request.headers['upload-checksum'] !== undefined
      && !verifyChecksum(request.headers['upload-checksum'], body, log)) {
    return answer(460);
  }
  // The faults below strike the first request whose bytes are kept.
  const first = upload.writes++ === 0;
  const kept = faults.has('conflict') && first ? body.subarray(0, body.length / 2) : body;
  if (upload.offset + kept.length > upload.length) {
    return answer(400);
  }
  const fd = fs.openSync(upload.file, 'r+');
  fs.writeSync(fd, kept, 0, kept.length, upload.offset);
  fs.closeSync(fd);
  upload.offset += kept.length;
  if (faults.has('conflict') && first) {
    return answer(409);
  }
  if (faults.has('stall') && first) {
    log.status = 'stalled';
    return;
  }
  if (faults.has('lie-ahead') && first) {
    return answer(204, { 'Upload-Offset': String(upload.length) });
  }
  upload.confirmed = upload.offset;
  answer(204, { 'Upload-Offset': String(upload.offset) });
}

function head(faults, upload, id, log, response) {
  const times = count(`${id}:HEAD`);
  if (faults.has('burst') && times === 0) {
    log.status = 'cut';
    response.socket.destroy();
    return;
  }
  if (faults.has('burst') && times === 1) {
    log.status = 502;
    response.writeHead(502, tusHeaders()).end();
    return;
  }
  const headers = tusHeaders({ 'Upload-Length': String(upload.length) });
  if (!faults.has('no-offset')) {
    headers['Upload-Offset'] = String(upload.offset);
    upload.confirmed = upload.offset;
  }
  log.status = 200;
  response.writeHead(200, headers).end();
}

async function tus(faults, prefix, rest, request, log, response, secure) {
  if (request.method === 'OPTIONS') {
    return options(faults, log, response);
  }
  if (request.method === 'POST' && rest === '') {
    await readBody(request);
    return create(faults, prefix, request, log, response, secure);
  }
  const upload = uploads.get(rest);
  if (!upload) {
    log.status = 404;
    response.writeHead(404, tusHeaders()).end();
    return;
  }
  log.offset = request.headers['upload-offset'] ?? '-';
  if (request.method === 'PATCH') {
    return patch(faults, upload, rest, request, log, response);
  }
  if (request.method === 'HEAD') {
    return head(faults, upload, rest, log, response);
  }
  if (request.method === 'DELETE') {
    uploads.delete(rest);
    fs.rmSync(upload.file, { force: true });
    log.status = 204;
    response.writeHead(204, tusHeaders()).end();
    return;
  }
  log.status = 405;
  response.writeHead(405, tusHeaders()).end();
}

// Sends bytes start..end of the file, and with "cut" or "stall" only their first half.
function sendBody(file, start, size, fault, response) {
  if (!fault) {
    fs.createReadStream(file, { start }).pipe(response);
    return;
  }
  const half = fs.createReadStream(file, { start, end: start + Math.floor((size - start) / 2) - 1 });
  half.on('data', (piece) => response.write(piece));
  half.on('end', () => {
    if (fault === 'cut') {
      response.socket.destroy();
    }
  });
}

function download(faults, prefix, name, request, log, response) {
  const times = count(`${prefix}/${name}:GET`);
  const changed = faults.has('etag-change') && times > 0;
  const file = path.join(folder, path.basename(name) + (changed ? '.next' : ''));
  let stat;
  try {
    stat = fs.statSync(file);
  } catch {
    log.status = 404;
    response.writeHead(404, { 'Content-Type': 'text/html' }).end('<html><body>Not found</body></html>');
    return;
  }
  if (faults.has('416')) {
    log.status = 416;
    response.writeHead(416, { 'Content-Range': `bytes */${stat.size}` }).end();
    return;
  }
  const etag = `"${changed ? 'next' : 'first'}-${stat.size}"`;
  const headers = { ETag: etag, 'Accept-Ranges': 'bytes', 'Content-Type': 'application/octet-stream' };
  const range = /^bytes=(\d+)-$/.exec(request.headers.range ?? '');
  const ifRange = request.headers['if-range'];
  let start = 0;
  log.status = 200;
  if (range && (!ifRange || ifRange === etag)) {
    start = Number(range[1]);
    headers['Content-Range'] = `bytes ${start}-${stat.size - 1}/${stat.size}`;
    log.status = 206;
  }
  if (!faults.has('no-length')) {
    headers['Content-Length'] = stat.size - start;
  }
  response.writeHead(log.status, headers);
  let fault;
  if (times === 0 && (faults.has('truncate') || faults.has('etag-change'))) {
    fault = 'cut';
  } else if (times === 0 && faults.has('stall')) {
    fault = 'stall';
  }
  sendBody(file, start, stat.size, fault, response);
}

async function serve(request, response, secure) {
  const [, prefix = '', kind = '', ...rest] = new URL(request.url, 'http://x').pathname.split('/');
  const faults = new Set(prefix.split(','));
  const log = { offset: '-', received: 0, status: 0 };
  const reused = request.socket.carried === true;
  request.socket.carried = true;
  if (reused && request.method === 'PATCH' && faults.has('drop-reused')) {
    request.socket.destroy();
    console.log(`${request.method} ${request.url} offset=- received=0 range=- status=dropped`);
    return;
  }
  if (kind === 'files') {
    await tus(faults, prefix, rest.join('/'), request, log, response, secure);
  } else if (kind === 'get') {
    download(faults, prefix, decodeURIComponent(rest.join('/')), request, log, response);
  } else {
    log.status = 404;
    response.writeHead(404).end();
  }
  let line = `${request.method} ${request.url} offset=${log.offset} received=${log.received}`
    + ` range=${request.headers.range ?? '-'} status=${log.status}`;
  if (log.resent) {
    line += ` resent=${log.resent}`;
  }
  if (log.checksum) {
    line += ` checksum=${log.checksum}`;
  }
  console.log(line);
}

const server = keyFile
  ? https.createServer({ key: fs.readFileSync(keyFile), cert: fs.readFileSync(certFile) },
    (request, response) => serve(request, response, true))
  : http.createServer((request, response) => serve(request, response, false));
// Kept connections outlive a slow test's pauses, so which connection a request takes is the
// client's choice alone.
server.keepAliveTimeout = 60000;
server.listen(0, '127.0.0.1', () => console.log(`listening ${server.address().port}`));
