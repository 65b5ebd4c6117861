// A tus 1.0.0 server for the tests: @tus/server with its file store, on loopback.
// Usage: node tus-server.mjs STORE_DIR [PORT [KEY_FILE CERT_FILE]]   (port 0 or none: any free
// port; with a key and certificate it speaks HTTPS)
// Prints "listening PORT" once ready; uploads are kept in STORE_DIR (data and .json info).
import fs from 'node:fs';
import http from 'node:http';
import https from 'node:https';
import { Server } from '@tus/server';
import { FileStore } from '@tus/file-store';

const [storeDir, portArgument, keyFile, certFile] = process.argv.slice(2);
if (!storeDir) {
  console.error('usage: node tus-server.mjs STORE_DIR [PORT]');
  process.exit(2);
}

// The server names upload addresses with http unless told the scheme.
const scheme = keyFile ? 'https' : 'http';
const tus = new Server({
  path: '/files',
  datastore: new FileStore({ directory: storeDir }),
  generateUrl: (request, { host, path, id }) => `${scheme}://${host}${path}/${id}`,
});
const handle = (request, response) => tus.handle(request, response);
const server = keyFile
  ? https.createServer({ key: fs.readFileSync(keyFile), cert: fs.readFileSync(certFile) }, handle)
  : http.createServer(handle);
server.listen(Number(portArgument ?? 0), '127.0.0.1', () => {
  console.log(`listening ${server.address().port}`);
});
