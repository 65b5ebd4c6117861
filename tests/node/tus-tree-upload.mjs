// Uploads a file, or every file of a folder, with tus-js-client at its default settings,
// PARALLEL files at once, and prints "wall_ms <ms>" and "files <count>": the time from the
// first upload's start to the last one's end. Each file's metadata is its filename and,
// inside a folder, its relativePath ("<folder name>/sub/file"), as the client sends them.
//   node tus-tree-upload.mjs ENDPOINT PATH [PARALLEL]
import { createReadStream, readdirSync, statSync } from 'node:fs';
import path from 'node:path';
import { Upload } from 'tus-js-client';

const [endpoint, root, parallelArgument] = process.argv.slice(2);
if (!endpoint || !root) {
  console.error('usage: node tus-tree-upload.mjs ENDPOINT PATH [PARALLEL]');
  process.exit(2);
}
const parallel = Number(parallelArgument ?? 1);

function filesOf(folder, relative) {
  return readdirSync(folder, { withFileTypes: true }).flatMap((entry) => {
    const full = path.join(folder, entry.name);
    const entryRelative = `${relative}/${entry.name}`;
    return entry.isDirectory() ? filesOf(full, entryRelative) : [{ full, relative: entryRelative }];
  });
}

function upload(file) {
  return new Promise((resolve, reject) => {
    const metadata = { filename: path.basename(file.full) };
    if (file.relative) metadata.relativePath = file.relative;
    new Upload(createReadStream(file.full), {
      endpoint,
      metadata,
      uploadSize: statSync(file.full).size,
      onError: reject,
      onSuccess: resolve,
    }).start();
  });
}

const files = statSync(root).isDirectory()
  ? filesOf(root, path.basename(root))
  : [{ full: root, relative: '' }];
let next = 0;
async function worker() {
  while (next < files.length) {
    await upload(files[next++]);
  }
}

const started = process.hrtime.bigint();
try {
  await Promise.all(Array.from({ length: parallel }, worker));
} catch (error) {
  console.error(`tus-tree-upload: ${error.message}`);
  process.exit(1);
}
console.log(`wall_ms ${(Number(process.hrtime.bigint() - started) / 1e6).toFixed(1)}`);
console.log(`files ${files.length}`);
