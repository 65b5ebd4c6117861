// Uploads one file with tus-js-client, a tus client nobody here wrote, and prints what
// happened as one JSON line: {"url", "resumedFrom"}. With --interrupt-at BYTES the first
// attempt sends that many bytes of its request's body and holds the rest back; once the server
// reports it has stored them all, the request is cut off in mid-body, and a second attempt resumes
// the same upload from the offset the server reports.
//   node tus-upload.mjs --endpoint URL --token TOKEN --file PATH --relative-path PATH [--interrupt-at BYTES]
import { createReadStream, statSync } from "node:fs";
import { PassThrough } from "node:stream";
import { setTimeout as sleep } from "node:timers/promises";
import { parseArgs } from "node:util";
import { Upload } from "tus-js-client";

const { values: options } = parseArgs({
  options: {
    endpoint: { type: "string" },
    token: { type: "string" },
    file: { type: "string" },
    "relative-path": { type: "string" },
    "interrupt-at": { type: "string" },
  },
});

// A request that meets a busy or moving upload (423, 409) is retried after a HEAD.
const RetryDelaysMs = [50, 100, 200, 400, 800, 1600, 3200];
const OffsetPollMs = 50;
const OffsetWaitMs = 60000;

function fail(message) {
  console.error(`tus-upload: ${message}`);
  process.exit(1);
}

for (const required of ["endpoint", "token", "file", "relative-path"]) {
  if (!options[required]) {
    fail(`--${required} is needed`);
  }
}

const relativePath = options["relative-path"];
const interruptAt = options["interrupt-at"] === undefined ? Infinity : Number(options["interrupt-at"]);
let resumedFrom = 0;

function uploadOptions(extra) {
  return {
    endpoint: options.endpoint,
    headers: { Authorization: `Bearer ${options.token}` },
    metadata: { filename: relativePath.split("/").pop(), relativePath },
    uploadSize: statSync(options.file).size,
    retryDelays: RetryDelaysMs,
    onAfterResponse(request, response) {
      if (request.getMethod() === "HEAD") {
        resumedFrom = Number(response.getHeader("Upload-Offset"));
      }
    },
    ...extra,
  };
}

// The file as tus-js-client reads it, except that a request's body stops after interruptAt bytes
// and stays open, so that the request is still going when it is cut off.
const heldBackFile = {
  openFile() {
    const size = statSync(options.file).size;
    return Promise.resolve({
      size,
      slice(start, end) {
        const body = new PassThrough();
        body.size = end - start;
        createReadStream(options.file, { start, end: interruptAt - 1 }).pipe(body, { end: false });
        return Promise.resolve({ value: body, done: end >= size });
      },
      close() {},
    });
  },
};

// The offset the server has stored for the upload at url.
async function serverOffset(url) {
  const response = await fetch(url, {
    method: "HEAD",
    headers: { Authorization: `Bearer ${options.token}`, "Tus-Resumable": "1.0.0" },
  });
  return Number(response.headers.get("upload-offset"));
}

// Resolves once the server has stored everything the held-back body sent.
async function serverHoldsSentBytes(url) {
  const deadline = Date.now() + OffsetWaitMs;
  while ((await serverOffset(url)) < interruptAt) {
    if (Date.now() > deadline) {
      throw new Error(`the server did not store ${interruptAt} bytes`);
    }
    await sleep(OffsetPollMs);
  }
}

// Runs an upload until it succeeds or fails.
function run(extra) {
  return new Promise((resolve, reject) => {
    const upload = new Upload(
      createReadStream(options.file),
      uploadOptions({ onError: reject, onSuccess: () => resolve(upload.url), ...extra }),
    );
    upload.start();
  });
}

// Starts an upload whose body stops at interruptAt, and cuts it off once the server holds that much.
function interruptedRun() {
  return new Promise((resolve, reject) => {
    const upload = new Upload(
      createReadStream(options.file),
      uploadOptions({
        fileReader: heldBackFile,
        onError: reject,
        onSuccess: () => reject(new Error("the upload was meant to be cut off")),
        onUploadUrlAvailable() {
          serverHoldsSentBytes(upload.url)
            .then(() => upload.abort())
            .then(() => resolve(upload.url), reject);
        },
      }),
    );
    upload.start();
  });
}

try {
  const uploadUrl = Number.isFinite(interruptAt) ? await interruptedRun() : undefined;
  const url = await run({ uploadUrl });
  console.log(JSON.stringify({ url, resumedFrom }));
} catch (error) {
  fail(error.message);
}
