// The receiver page's engine against the native hushnote-cli, both run now:
// whatever the program writes the page must write, byte for byte, and read.
//
// The table of trips (tests/trips/make_trips.py) is read through the page's
// De-Secure, every row.
//
//   node tests/web/engine_test.mjs build/wasm/bin/hushnote.html build/dev/bin/hushnote-cli \
//     build/trips.jsonl
import assert from "node:assert/strict";
import { spawnSync } from "node:child_process";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { createRequire } from "node:module";
import { test } from "node:test";

const [pagePath, cli, tripsPath] = process.argv.slice(2).map((p) => path.resolve(p));
const dir = fs.mkdtempSync(path.join(os.tmpdir(), "hushnote-page-"));
process.on("exit", () => fs.rmSync(dir, { recursive: true, force: true }));

// The page's own script block that defines the engine, loaded as a module.
function loadEngine() {
  const html = fs.readFileSync(pagePath, "utf8");
  const start = html.indexOf("var HushnoteEngine");
  const glue = html.slice(start, html.indexOf("</script>", start));
  const file = path.join(dir, "engine.cjs");
  fs.writeFileSync(file, glue);
  return createRequire(import.meta.url)(file)();
}
const engine = await loadEngine();
const enc = new TextEncoder(), dec = new TextDecoder();
const O = { OK: 0, NO_MESSAGE: 1, PASSWORD_BLANK: 2, MESSAGE_LIMIT: 3, FAILED: 4,
  WRONG_PASSWORD: 5, NOT_SECURED: 7, DAMAGED: 8, CHANGED_TEXT: 16, NOT_SECURED_TEXT: 17 };

// --- The C interface, called as the page calls it ---------------------------
function put(bytes) {
  const p = engine._malloc(Math.max(bytes.length, 1));
  engine.HEAPU8.set(bytes, p);
  return [p, bytes.length];
}
function withOut(cap, fn) {
  const out = engine._malloc(cap + 4);
  try {
    const n = fn(out, cap);
    return { n, bytes: n > 0 ? engine.HEAPU8.slice(out, out + n) : new Uint8Array(0),
      flag: engine.HEAPU8[out + cap] };
  } finally {
    engine._free(out);
  }
}
// As the page asks: with room for the whole sentence, however long its names.
const words = (o) => dec.decode(withOut(engine._hn_words_length(o),
  (out, cap) => engine._hn_words(o, out, cap)).bytes);
const isSecured = (name, bytes) => engine._hn_file_is_secured(...put(enc.encode(name)),
  ...put(bytes.subarray(0, 16)), bytes.length);
function secureText(message, password) {
  const r = withOut(26676, (out, cap) =>
    engine._hn_secure_text(...put(enc.encode(message)), ...put(enc.encode(password)), out, cap));
  return r.n < 0 ? { refused: -r.n, words: words(-r.n) } : { text: dec.decode(r.bytes) };
}
function deSecureText(text, password) {
  const input = enc.encode(text);
  const r = withOut(3 * input.length + 16, (out, cap) =>
    engine._hn_desecure_text(...put(input), ...put(enc.encode(password)), out, cap, out + cap));
  return r.n < 0 ? { refused: -r.n, words: words(-r.n) }
    : { text: dec.decode(r.bytes), outcome: r.flag, words: words(r.flag) };
}
function chatForm(text) {
  const input = enc.encode(text);
  const r = withOut(input.length + 8, (out, cap) => engine._hn_chat_form(...put(input), out, cap));
  return r.n < 0 ? { refused: -r.n } : { text: dec.decode(r.bytes) };
}
// A file through the page, cut into pieces of the sizes given in turn.
function pageFile(securing, name, bytes, password, pieces) {
  const parts = [];
  const begin = withOut(8, (out, cap) => engine._hn_file_begin(securing, ...put(enc.encode(name)),
    bytes.length, ...put(enc.encode(password)), out, cap));
  if (begin.n < 0) return { refused: -begin.n, words: words(-begin.n) };
  parts.push(begin.bytes);
  for (let at = 0, k = 0; at < bytes.length; k++) {
    const piece = bytes.subarray(at, at + pieces[k % pieces.length]);
    at += piece.length;
    const r = withOut(2 * piece.length + 8, (out, cap) =>
      engine._hn_file_piece(...put(piece), out, cap));
    if (r.n < 0) return { refused: -r.n, words: words(-r.n) };
    parts.push(r.bytes);
  }
  const end = withOut(8, (out, cap) => engine._hn_file_end(out, cap, out + cap));
  if (end.n < 0) return { refused: -end.n, words: words(-end.n) };
  parts.push(end.bytes);
  return { bytes: Buffer.concat(parts), damaged: end.flag === O.DAMAGED,
    words: end.flag === O.DAMAGED ? words(O.DAMAGED) : "" };
}

// --- The native program -----------------------------------------------------
function runCli(args, input) {
  const pw = path.join(dir, "pw");
  const r = spawnSync(cli, ["--password-file", pw, ...args], { cwd: dir, input });
  return { status: r.status, out: r.stdout, err: r.stderr.toString().replace(/^hushnote-cli: /, "").trim() };
}
function withPassword(password) { fs.writeFileSync(path.join(dir, "pw"), password + "\n"); }
const cliSecure = (m, p) => (withPassword(p), runCli(["secure-text"], m));
const cliDeSecure = (t, p) => (withPassword(p), runCli(["desecure-text"], t));

// --- Random inputs ------------------------------------------------------------
let seed = 20261207;
const random = (n) => { seed = (seed * 1103515245 + 12345) % 2147483648; return seed % n; };
const letters = [..."abcXYZ 09?~.,!\t", "\n", "\n", "é", "ü", "ÿ", "€", "“", "…", "\u0081", "\u00a0"];
const pick = (n) => Array.from({ length: n }, () => letters[random(letters.length)]).join("");
const bytesOf = (n) => Uint8Array.from({ length: n }, () => random(256));

test("random messages and passwords secure as the program secures them, and back", () => {
  for (let i = 0; i < 24; i++) {
    const message = pick(1 + random(300)), password = pick(1 + random(20)).replace(/\n/g, "x");
    const ours = secureText(message, password);
    const theirs = cliSecure(message, password);
    assert.equal(theirs.status, 0, theirs.err);
    assert.equal(ours.text + "\n", theirs.out.toString(), `message ${JSON.stringify(message)}`);
    assert.equal(deSecureText(ours.text, password).text, message);
    assert.equal(cliDeSecure(ours.text, password).out.toString(), message);
  }
});

test("the 20,000-character limit counts line breaks as CR LF, as the window does", () => {
  const cases = [
    { message: "a".repeat(20000), accepted: true },
    { message: "a".repeat(20001), accepted: false },
    { message: "\n".repeat(10000), accepted: true },
    { message: "\n".repeat(10000) + "a", accepted: false },
    { message: "€".repeat(20000), accepted: true },
  ];
  for (const { message, accepted } of cases) {
    const ours = secureText(message, "pw"), theirs = cliSecure(message, "pw");
    if (accepted) {
      assert.equal(ours.text + "\n", theirs.out.toString());
    } else {
      assert.equal(ours.refused, O.MESSAGE_LIMIT);
      assert.equal(ours.words, theirs.err);
    }
  }
  // The window counts a character beyond the BMP as the two halves of its
  // surrogate pair, and tells the limit before the character set.
  assert.equal(secureText("a".repeat(19999) + "😀", "pw").refused, O.MESSAGE_LIMIT);
  assert.equal(secureText("a".repeat(19998) + "😀", "pw").refused, O.FAILED);
});

test("refusals carry the program's words", () => {
  const cases = [
    { message: "", password: "pw", outcome: O.NO_MESSAGE },
    { message: "hello", password: "", outcome: O.PASSWORD_BLANK, words: "Password is blank." },
    { message: "smile 😀 now", password: "pw", outcome: O.FAILED },
    { message: "Ā", password: "pw", outcome: O.FAILED },
  ];
  for (const { message, password, outcome, words: expected } of cases) {
    const ours = secureText(message, password);
    assert.equal(ours.refused, outcome, message);
    if (password !== "") assert.equal(ours.words, cliSecure(message, password).err);
    if (expected) assert.equal(ours.words, expected);
  }
  assert.equal(deSecureText("", "pw").refused, 9);
  assert.equal(deSecureText("???D????", "").words, "Password is blank.");
});

test("wrapped, short and wrong-password secured text reads as the window reads it", () => {
  const message = "Meet me at the station at ten.\nBring the map.";
  const secured = secureText(message, "dog").text;
  for (const lineBreak of ["\r\n", "\n"]) {
    const wrapped = secured.match(/.{1,20}/g).join(lineBreak) + lineBreak;
    assert.equal(deSecureText(wrapped, "dog").text, message, JSON.stringify(lineBreak));
  }
  assert.equal(deSecureText("ab", "dog").text, "ERR");
  assert.equal(deSecureText("???D????", "dog").text, "ERR2");
  assert.equal(deSecureText(secured.replace(/\|/g, "0"), "dog").text, message);
  const wrong = deSecureText(secured, "cat");
  assert.equal(wrong.text.length > 0 && wrong.outcome === O.WRONG_PASSWORD, true);
  assert.equal(deSecureText(secured, "dog").outcome, O.OK);
});

// What the status line says beside a De-Secure's result, as the trips judge it.
function judged(r, message) {
  if (r.outcome === O.OK) return r.text === message ? "back" : "silent";
  return r.outcome === O.CHANGED_TEXT || r.outcome === O.NOT_SECURED_TEXT ? "told" : "other";
}

test("every trip through mail and chat gives the message back or is told; none is silent",
  { skip: !tripsPath }, () => {
    const rows = fs.readFileSync(tripsPath, "utf8").trim().split("\n").map((l) => JSON.parse(l));
    const counts = { back: 0, told: 0, silent: 0, other: 0 }, wrong = [];
    for (const row of rows) {
      const got = judged(deSecureText(row.pasted, row.password), row.message);
      counts[got]++;
      if (!row.expect.split("-or-").includes(got)) {
        wrong.push(`${row.trip} (${row.message.length} characters): ${got}, expected ${row.expect}`);
      }
    }
    console.log(`page engine trips: ${counts.back} back of ${rows.length} tried, ` +
      `${counts.told} told, ${counts.silent} silent`);
    assert.deepEqual(wrong, []);
  });

test("changed and foreign text is de-secured anyway, and the status line says so", () => {
  const secured = secureText("Meet me at the station at ten.", "dog").text;
  const cases = [
    { name: "one character dropped", text: secured.slice(0, 20) + secured.slice(21),
      outcome: O.CHANGED_TEXT, words: /^The secured text is 1 character short: .* Undo brings back/ },
    { name: "two characters added", text: secured + "\\_", outcome: O.CHANGED_TEXT,
      words: /^The secured text has 2 characters too many: / },
    { name: "prose", text: "See you at ten?", outcome: O.NOT_SECURED_TEXT,
      words: /^This is not secured text\. Undo brings back/ },
  ];
  for (const { name, text, outcome, words: expected } of cases) {
    const r = deSecureText(text, "dog");
    assert.equal(r.outcome, outcome, name);
    assert.match(r.words, expected, name);
    assert.notEqual(r.words.includes("Ctrl+Z"), true, name);
  }
  // A character the code page lacks is refused before anything is read.
  assert.equal(deSecureText("smile 😀", "dog").refused, O.FAILED);
});

test("Copy for Chat fences the whole secured text the box holds, and nothing else", () => {
  const secured = secureText("Meet me at ten.", "dog").text;
  const fenced = "```\n" + secured + "\n```";
  const cases = [
    { name: "as secured", text: secured, chat: fenced },
    { name: "quoted and wrapped", text: secured.match(/.{1,20}/g).map((l) => "> " + l).join("\n"),
      chat: fenced },
    { name: "already fenced", text: fenced, chat: fenced },
    { name: "a character short", text: secured.slice(0, -1), chat: null },
    { name: "a message", text: "Meet me at ten.", chat: null },
    { name: "empty", text: "", chat: null },
  ];
  for (const { name, text, chat } of cases) {
    const r = chatForm(text);
    if (chat === null) assert.equal(r.refused, O.NOT_SECURED_TEXT, name);
    else assert.equal(r.text, chat, name);
  }
});

test("files of 0 B to 1 MiB secure and de-secure as the program's file commands", () => {
  for (const size of [0, 1, 2, 3, 4095, 4096, 5461, 65537, 1 << 20]) {
    const plain = bytesOf(size);
    fs.writeFileSync(path.join(dir, "f.bin"), plain);
    withPassword("€ pass");
    for (const mode of ["builtin", "auto"]) {
      const r = runCli(["--mode", mode, "secure-file", "f.bin", "f.bin.hush"]);
      assert.equal(r.status, 0, r.err);
      const theirs = fs.readFileSync(path.join(dir, "f.bin.hush"));
      const ours = pageFile(1, "f.bin", plain, "€ pass", [3 * 1001, 3, 30000]);
      assert.ok(ours.bytes.equals(theirs), `secured ${size} bytes, ${mode}`);
      const back = pageFile(0, "f.bin.hush", theirs, "€ pass", [7, 5460, 40001]);
      assert.ok(back.bytes.equals(Buffer.from(plain)), `de-secured ${size} bytes`);
    }
  }
});

test("damaged, broken into lines and not secured files get the program's outcome and words", () => {
  withPassword("pw");
  const plain = bytesOf(10000);
  fs.writeFileSync(path.join(dir, "g"), plain);
  runCli(["secure-file", "g", "g.hush"]);
  const secured = fs.readFileSync(path.join(dir, "g.hush"));
  const lines = Buffer.from(secured.toString().match(/.{1,76}/g).join("\r\n") + "\n");
  const cases = [
    { name: "damaged", data: secured.subarray(0, 5000) },
    { name: "lines", data: lines },
    { name: "foreign byte", data: Buffer.concat([secured.subarray(0, 8), Buffer.from(" "), secured.subarray(9)]) },
    { name: "empty", data: Buffer.alloc(0) },
    { name: "two characters", data: Buffer.from("ab") },
    { name: "three characters", data: Buffer.from("abc") },
    { name: "foreign in header", data: Buffer.from("???D?\u00e9??abcd") },
  ];
  for (const { name, data } of cases) {
    fs.writeFileSync(path.join(dir, "x.hush"), data);
    fs.rmSync(path.join(dir, "x"), { force: true });
    const theirs = runCli(["--mode", "builtin", "desecure-file", "x.hush", "x"]);
    const ours = pageFile(0, "x.hush", data, "pw", [4096, 3]);
    if (theirs.status === 1) {
      assert.equal(ours.refused, O.NOT_SECURED, name);
      assert.equal(ours.words, theirs.err, name);
      continue;
    }
    assert.ok(ours.bytes.equals(fs.readFileSync(path.join(dir, "x"))), name);
    assert.equal(ours.damaged, theirs.status === 3, name);
    // The page offers a download where the program writes a file, and says so.
    const offered = theirs.err.replace(/Those were written to (".*")\.$/,
      "Offered as a download named $1. See the browser's downloads.");
    assert.equal(ours.words, theirs.status === 3 ? offered : "", name);
  }
});

test("a long name escaped keeps the whole sentence", () => {
  withPassword("pw");
  // 255 bytes, each shown as four: "\x01".
  const name = Array.from({ length: 255 }, (_, i) => String.fromCharCode(1 + (i % 31))).join("");
  fs.writeFileSync(path.join(dir, name), "not secured");
  const theirs = runCli(["desecure-file", name, "x"]);
  const ours = pageFile(0, name, Buffer.from("not secured"), "pw", [4096]);
  assert.equal(ours.refused, O.NOT_SECURED);
  assert.ok(ours.words.length > 1024 && ours.words === theirs.err, ours.words);
});

test("a dropped file is de-secured when it is a secured file, an empty one too", () => {
  withPassword("pw");
  fs.writeFileSync(path.join(dir, "empty"), "");
  assert.equal(runCli(["secure-file", "empty", "empty.sec"]).status, 0);
  const empty = fs.readFileSync(path.join(dir, "empty.sec"));
  const secured = Buffer.from(secureText("hello", "pw").text);
  const cases = [
    { name: "empty.sec", data: empty, secured: 1 },
    { name: "empty.sec", data: Buffer.concat([empty, Buffer.from("\r\n")]), secured: 1 },
    { name: "hello.sec", data: secured, secured: 1 },
    { name: "notes.txt", data: Buffer.from("????????\nand then a note"), secured: 0 },
    { name: "notes.txt", data: Buffer.from("????????"), size: 9, secured: 0 },
    { name: "notes.txt", data: Buffer.from("hello"), secured: 0 },
    { name: "nothing", data: Buffer.alloc(0), secured: 0 },
  ];
  for (const { name, data, size, secured: expected } of cases) {
    const bytes = size === undefined ? data : { subarray: (a, b) => data.subarray(a, b), length: size };
    assert.equal(isSecured(name, bytes), expected, JSON.stringify(data.toString()));
  }
  const back = pageFile(0, "empty.sec", empty, "pw", [4096]);
  assert.equal(back.bytes.length + back.words.length, 0);
});

test("a file over 16,777,215 bytes is refused before anything is written", () => {
  const r = pageFile(1, "big.iso", { length: 16777216, subarray: () => [] }, "pw", [1]);
  assert.equal(r.refused, O.FAILED);
  assert.equal(r.words,
    "\"big.iso\" is 16,777,216 bytes long; a secured file holds at most 16,777,215 bytes.");
});

test("download names follow the input's name", () => {
  const cases = [[1, "report.pdf", "report.pdf.hush"], [0, "report.pdf.hush", "report.pdf"],
    [0, "report.pdf", "report.pdf.de-secured"], [0, ".hush", ".hush.de-secured"]];
  for (const [securing, name, expected] of cases) {
    const r = withOut(64, (out, cap) => engine._hn_output_name(securing, ...put(enc.encode(name)), out, cap));
    assert.equal(dec.decode(r.bytes), expected);
  }
});
