// The receiver page in headless Chromium, used as a person uses it: type,
// click, read the box and the status line, pick a file, take the download.
// Every request the page makes is recorded: it must make none to a network.
// One row of each trip of the table (tests/trips/make_trips.py) is pasted in;
// with --count every row is, and the outcomes are counted, not judged, for
// figures of any page (node --test-name-pattern=trips ... --count).
//
//   node tests/web/browser_test.mjs build/wasm/bin/hushnote.html build/dev/bin/hushnote-cli \
//     build/trips.jsonl
import assert from "node:assert/strict";
import { spawnSync } from "node:child_process";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { after, before, test } from "node:test";
import { launch, openPage, removeFolder } from "./cdp.mjs";

const countOnly = process.argv.includes("--count");
const [pagePath, cli, tripsPath] = process.argv.slice(2).filter((a) => a !== "--count")
  .map((p) => path.resolve(p));
const dir = fs.mkdtempSync(path.join(os.tmpdir(), "hushnote-browser-"));
const downloads = path.join(dir, "downloads");
fs.mkdirSync(downloads);
let browser, page;
const requests = [], fileChoosers = [], started = new Map(), finished = new Set();

function runCli(args, password, input) {
  fs.writeFileSync(path.join(dir, "pw"), password + "\n");
  const pwOption = args[0] === "receiver-page" ? [] : ["--password-file", path.join(dir, "pw")];
  const r = spawnSync(cli, [...pwOption, ...args], { cwd: dir, input });
  assert.ok(r.status === 0, r.stderr.toString());
  return r.stdout.toString();
}

async function open(file) {
  await page.send("Page.navigate", { url: "file://" + file });
  await page.waitFor("document.body && document.body.dataset.ready === '1'");
}
const box = () => page.evaluate("document.getElementById('txtMsg').value");
const status = () => page.evaluate("document.getElementById('lblStatus').textContent");
const passwordValue = () => page.evaluate("document.getElementById('txtPassword').value");
const focused = () => page.evaluate("document.activeElement.id");
const undoShown = () => page.evaluate("!document.getElementById('cmdUndo').hidden");
async function fill(selector, text) {
  await page.click(selector);
  await page.evaluate(`document.querySelector('${selector}').select()`);
  await page.type(text);
}

// Picks file after clicking button, and returns the download's name and bytes.
async function throughFile(button, file) {
  const known = started.size;
  await page.click(button);
  await page.waitFor("true");
  for (let i = 0; fileChoosers.length === 0 && i < 200; i++) await new Promise((r) => setTimeout(r, 20));
  const chooser = fileChoosers.shift();
  await page.send("DOM.setFileInputFiles", { files: [file], backendNodeId: chooser.backendNodeId });
  for (let i = 0; i < 500 && started.size === known; i++) await new Promise((r) => setTimeout(r, 20));
  // Not the last file's download again.
  assert.ok(started.size > known, `no download of ${file}: ${await status()}`);
  const [guid, name] = [...started].at(-1);
  for (let i = 0; i < 500 && !finished.has(guid); i++) await new Promise((r) => setTimeout(r, 20));
  return { name, bytes: fs.readFileSync(path.join(downloads, guid)) };
}

before(async () => {
  browser = await launch();
  browser.on((m) => {
    if (m.method === "Network.requestWillBeSent") requests.push(m.params.request.url);
    if (m.method === "Page.fileChooserOpened") fileChoosers.push(m.params);
    if (m.method === "Browser.downloadWillBegin") started.set(m.params.guid, m.params.suggestedFilename);
    if (m.method === "Browser.downloadProgress" && m.params.state === "completed") finished.add(m.params.guid);
  });
  page = await openPage(browser);
  await browser.send("Browser.setDownloadBehavior",
    { behavior: "allowAndName", downloadPath: downloads, eventsEnabled: true });
  await page.send("Network.enable");
  await page.send("Page.enable");
  await browser.send("Browser.grantPermissions",
    { permissions: ["clipboardReadWrite", "clipboardSanitizedWrite"] });
  await page.send("Page.setInterceptFileChooserDialog", { enabled: true });
  await open(pagePath);
});
after(async () => {
  await browser.close();
  removeFolder(dir);
});

test("a message secures to the program's secured text and comes back", async () => {
  const message = "Grüße aus Köln, 5 €.\nSee you — soon…";
  await fill("#txtMsg", message);
  await fill("#txtPassword", "dog");
  await page.click("#cmdSecure");
  const secured = runCli(["secure-text"], "dog", message).trimEnd();
  assert.equal(await box(), secured);
  assert.equal(await passwordValue(), "");
  assert.equal(await status(), "");
  await page.press("z", 2); // Ctrl+Z: nothing brings the message back after Secure
  assert.equal(await box(), secured);

  await fill("#txtPassword", "cat");
  await page.click("#cmdDeSecure");
  assert.equal(await status(),
    "Wrong password? Type it again and press De-Secure; Undo brings back the secured text.");
  await page.click("#txtMsg");
  await page.press("z", 2);
  assert.equal(await box(), runCli(["secure-text"], "dog", message).trimEnd());
  await fill("#txtPassword", "cat");
  await page.click("#cmdDeSecure");
  await page.click("#cmdUndo");
  assert.equal(await box(), secured);
  // A wrong password and then the right one: the message, and one Ctrl+Z
  // reaches the secured text.
  for (const pw of ["cat", "dog"]) {
    await fill("#txtPassword", pw);
    await page.press("Enter");
  }
  assert.equal(await box(), message);
  await page.click("#txtMsg");
  await page.press("z", 2);
  assert.equal(await box(), secured);

  await fill("#txtPassword", "dog");
  await page.press("Enter"); // Enter in the password box de-secures
  assert.equal(await box(), message);
  assert.equal(await status(), "");
  assert.equal(await passwordValue(), "");
});

// Each row: what was pasted, a first try with the wrong password, a second
// with the right one. The second gives what a first try with the right
// password gives, and Undo shows after every result but a message.
test("a second try after a wrong password starts again from what was pasted", async () => {
  const secured = runCli(["secure-text"], "dog", "Second time lucky.").trimEnd();
  const rows = [
    { name: "noise of a wrong password", pasted: secured },
    { name: "changed on the way", pasted: secured.slice(0, 12) + secured.slice(13) },
    { name: "ERR", pasted: "hi" },
    { name: "ERR2", pasted: "????????" },
  ];
  for (const { name, pasted } of rows) {
    await fill("#txtMsg", pasted);
    await fill("#txtPassword", "dog");
    await page.click("#cmdDeSecure");
    const [expected, expectedUndo] = [await box(), await undoShown()];
    await fill("#txtMsg", pasted);
    await fill("#txtPassword", "cat");
    await page.click("#cmdDeSecure");
    assert.equal(await undoShown(), true, name);
    await fill("#txtPassword", "dog");
    await page.click("#cmdDeSecure");
    assert.equal(await box(), expected, name);
    assert.equal(await undoShown(), expectedUndo, name);
    assert.equal(expectedUndo, name !== "noise of a wrong password", name);
    await page.press("z", 2);
    assert.equal(await box(), pasted, name);
  }
  // A changed box is read as it now is.
  await fill("#txtMsg", secured);
  await fill("#txtPassword", "cat");
  await page.click("#cmdDeSecure");
  await page.click("#txtMsg");
  await page.type("x");
  await fill("#txtPassword", "dog");
  await page.click("#cmdDeSecure");
  assert.equal(await status(), "This is not secured text. Undo brings back what was pasted.");
});

test("Secure on secured text asks in the status line, and a second press secures it again",
  async () => {
    const secured = runCli(["secure-text"], "dog", "Twice over.").trimEnd();
    await fill("#txtMsg", secured);
    await fill("#txtPassword", "dog");
    await page.click("#cmdSecure");
    assert.equal(await status(),
      "This already is secured text. Secure it again? Press Secure once more to do so.");
    assert.equal(await box(), secured);
    assert.equal(await passwordValue(), "dog");
    await page.click("#cmdSecure");
    assert.equal(await box(), runCli(["secure-text"], "dog", secured).trimEnd());
    assert.equal(await status(), "");
    // De-Secure goes on from a result that is secured text: no second try.
    for (const expected of [secured, "Twice over."]) {
      await fill("#txtPassword", "dog");
      await page.click("#cmdDeSecure");
      assert.equal(await box(), expected);
    }
  });

test("the window's refusals show in the status line, and the boxes keep their text", async () => {
  const cases = [
    { message: "a".repeat(20001), password: "pw", words: "Message limit is 20,000 characters.",
      focus: "txtMsg" },
    { message: "a\n".repeat(10000), password: "pw", words: "Message limit is 20,000 characters." },
    { message: "hello", password: "", words: "Password is blank.", focus: "txtPassword" },
    { message: "hello", password: "", words: "Password is blank.", focus: "txtPassword",
      command: "#cmdDeSecure" },
    { message: "smile 😀 now", password: "pw",
      words: "The character \"😀\" (U+1F600) at position 7 cannot be secured: it is not in the Windows-1252 character set." },
  ];
  for (const { message, password, words, focus, command = "#cmdSecure" } of cases) {
    await page.evaluate(`document.getElementById('txtMsg').value = ${JSON.stringify(message)}`);
    if (password) await fill("#txtPassword", password);
    await page.click(command);
    assert.equal(await status(), words);
    assert.equal(await box(), message);
    if (focus) assert.equal(await focused(), focus);
  }
  await page.evaluate("document.getElementById('txtMsg').value = 'a'.repeat(19999) + '\\n'");
  await fill("#txtPassword", "pw");
  await page.click("#cmdSecure");
  assert.equal(await status(), "Message limit is 20,000 characters.");
});

test("secured text wrapped by a mail program de-secures", async () => {
  const secured = runCli(["secure-text"], "pw", "line one\nline two").trimEnd();
  await fill("#txtMsg", secured.match(/.{1,10}/g).join("\n"));
  await fill("#txtPassword", "pw");
  await page.click("#cmdDeSecure");
  assert.equal(await box(), "line one\nline two");
  await page.click("#Command1");
  await page.waitFor("document.getElementById('lblStatus').textContent !== ''");
  assert.equal(await status(), "Text copied to clipboard.");
});

// One row of each trip, the messages' lengths taken in turn; every row with --count.
function tripRows() {
  const rows = fs.readFileSync(tripsPath, "utf8").trim().split("\n").map((l) => JSON.parse(l));
  if (countOnly) return rows;
  return [...new Set(rows.map((r) => r.trip))].map((trip, i) => {
    const ofTrip = rows.filter((r) => r.trip === trip);
    return ofTrip[(i * 7) % ofTrip.length];
  });
}

test("trips through mail and chat pasted in give the message back or a word, never silence",
  { skip: !tripsPath }, async () => {
    const rows = tripRows(), counts = { back: 0, told: 0, silent: 0, other: 0 }, wrong = [];
    for (const row of rows) {
      await fill("#txtMsg", row.pasted);
      await fill("#txtPassword", row.password);
      await page.click("#cmdDeSecure");
      const [got, said] = [await box(), await status()];
      const judged = said === "" ? (got === row.message ? "back" : "silent")
        : /^(The secured text |This is not secured text\.)/.test(said) ? "told" : "other";
      counts[judged]++;
      if (!row.expect.split("-or-").includes(judged)) {
        wrong.push(`${row.trip} (${row.message.length} characters): ${judged}, expected ${row.expect}`);
      }
    }
    console.log(`page trips in Chromium: ${counts.back} back of ${rows.length} tried, ` +
      `${counts.told} told, ${counts.silent} silent, ${counts.other} other words`);
    if (!countOnly) assert.deepEqual(wrong, []);
  });

test("a changed paste is told by name of the Undo button, which brings the paste back", async () => {
  const secured = runCli(["secure-text"], "pw", "the long way round").trimEnd();
  const pasted = "> " + secured.slice(0, 12) + secured.slice(13);
  await fill("#txtMsg", pasted);
  await fill("#txtPassword", "pw");
  await page.click("#cmdDeSecure");
  assert.match(await status(), /^The secured text is 1 character short: .* Undo brings back /);
  assert.equal((await status()).includes("Ctrl+Z"), false);
  await page.click("#cmdUndo");
  assert.equal(await box(), pasted);
  assert.equal(await status(), "");
});

test("Copy for Chat puts the fenced secured text on the clipboard, also by the fallback", async () => {
  const secured = runCli(["secure-text"], "pw", "for the chat").trimEnd();
  const chatButton = () => page.evaluate("document.getElementById('cmdCopyForChat').disabled");
  await fill("#txtMsg", "for the chat");
  assert.equal(await chatButton(), true);
  const quoted = secured.match(/.{1,30}/g).map((l) => "> " + l).join("\n");
  await fill("#txtMsg", quoted);
  assert.equal(await chatButton(), false);
  // The clipboard API open, then closed as file:// pages in some browsers have it.
  for (const closed of [false, true]) {
    await page.evaluate("navigator.clipboard.writeText('nothing yet')");
    if (closed) await page.evaluate("navigator.clipboard.writeText = () => Promise.reject()");
    await page.evaluate("document.getElementById('lblStatus').textContent = ''");
    await page.click("#cmdCopyForChat");
    await page.waitFor("document.getElementById('lblStatus').textContent !== ''");
    assert.equal(await status(), "Text copied to clipboard.");
    await page.evaluate("delete navigator.clipboard.writeText");
    // The form secure-text --chat prints, but for its last line break.
    assert.equal(await page.evaluate("navigator.clipboard.readText()"),
      runCli(["secure-text", "--chat"], "pw", "for the chat").trimEnd(),
      closed ? "fallback" : "clipboard API");
  }
  // Copy Text stays exact.
  await page.click("#Command1");
  await page.waitFor("true");
  assert.equal(await page.evaluate("navigator.clipboard.readText()"), quoted);
});

test("files picked with the buttons come out as the program writes them", async () => {
  // Many of the page's pieces, so the keystream and the groups must run on,
  // each gathered from chunks of the file's stream that straddle them.
  const plain = Buffer.alloc(12600000);
  for (let i = 0; i < plain.length; i++) plain[i] = (i * 7919) % 251;
  fs.writeFileSync(path.join(dir, "report.pdf"), plain);
  runCli(["secure-file", "report.pdf", "cli.hush"], "€ file");
  await fill("#txtPassword", "€ file");
  const secured = await throughFile("#cmdSecureFile", path.join(dir, "report.pdf"));
  assert.equal(secured.name, "report.pdf.hush");
  assert.ok(secured.bytes.equals(fs.readFileSync(path.join(dir, "cli.hush"))));
  assert.equal(await status(),
    "Offered as a download named \"report.pdf.hush\". See the browser's downloads.");

  // A browser whose file streams lack the reader that fills a buffer of the
  // page's own reads the stream's own chunks, to the same bytes.
  await page.evaluate(`(() => { const own = ReadableStream.prototype.getReader;
    ReadableStream.prototype.getReader = function (o) {
      if (o && o.mode === "byob") throw new TypeError("no byob");
      return own.call(this, o);
    };
    window.restoreReader = () => { ReadableStream.prototype.getReader = own; }; })()`);
  try {
    await fill("#txtPassword", "€ file");
    const plainChunks = await throughFile("#cmdSecureFile", path.join(dir, "report.pdf"));
    assert.ok(plainChunks.bytes.equals(secured.bytes));
  } finally {
    await page.evaluate("restoreReader()");
  }

  fs.copyFileSync(path.join(dir, "cli.hush"), path.join(dir, "report.pdf.hush"));
  await fill("#txtPassword", "€ file");
  const back = await throughFile("#cmdDeSecureFile", path.join(dir, "report.pdf.hush"));
  assert.equal(back.name, "report.pdf");
  assert.ok(back.bytes.equals(plain));

  // No piece at all: the header alone.
  fs.writeFileSync(path.join(dir, "empty.txt"), "");
  runCli(["secure-file", "empty.txt", "empty.hush"], "€ file");
  await fill("#txtPassword", "€ file");
  const empty = await throughFile("#cmdSecureFile", path.join(dir, "empty.txt"));
  assert.ok(empty.bytes.equals(fs.readFileSync(path.join(dir, "empty.hush"))));

  fs.writeFileSync(path.join(dir, "notes.txt"), "not secured at all");
  await fill("#txtPassword", "€ file");
  await page.click("#cmdDeSecureFile");
  await page.waitFor("true");
  for (let i = 0; fileChoosers.length === 0 && i < 200; i++) await new Promise((r) => setTimeout(r, 20));
  await page.send("DOM.setFileInputFiles",
    { files: [path.join(dir, "notes.txt")], backendNodeId: fileChoosers.shift().backendNodeId });
  await page.waitFor("document.getElementById('lblStatus').textContent.includes('not a secured')");
  assert.equal(await status(), "\"notes.txt\" is not a secured file: byte 4 is 0x20, which secured text never holds. Nothing was written.");

  // A file the browser cannot read (here a folder) is reported, and the page is free again.
  fs.mkdirSync(path.join(dir, "folder.hush"));
  await fill("#txtPassword", "€ file");
  await page.click("#cmdDeSecureFile");
  for (let i = 0; fileChoosers.length === 0 && i < 200; i++) await new Promise((r) => setTimeout(r, 20));
  await page.send("DOM.setFileInputFiles",
    { files: [path.join(dir, "folder.hush")], backendNodeId: fileChoosers.shift().backendNodeId });
  await page.waitFor("document.getElementById('lblStatus').textContent.includes('folder')");
  assert.equal(await page.evaluate("document.getElementById('cmdSecure').disabled"), false);
  assert.equal(await status(), "\"folder.hush\" could not be read. Nothing was written.");
});

// Drops files on the page and returns the downloads that follow, in order.
async function drop(files) {
  const known = started.size;
  for (const type of ["dragEnter", "dragOver", "drop"]) {
    await page.send("Input.dispatchDragEvent", { type, x: 100, y: 100, modifiers: 0,
      data: { items: [], files: files.map((f) => path.join(dir, f)), dragOperationsMask: 1 } });
  }
  for (let i = 0; i < 500 && started.size < known + files.length; i++) {
    await new Promise((r) => setTimeout(r, 20));
  }
  const got = [...started].slice(known);
  for (const [guid] of got) {
    for (let i = 0; i < 500 && !finished.has(guid); i++) await new Promise((r) => setTimeout(r, 20));
  }
  return got.map(([guid, name]) => ({ name, bytes: fs.readFileSync(path.join(downloads, guid)) }));
}

test("a dropped file is secured, or de-secured when it is a secured file", async () => {
  const plain = Buffer.from("dropped on the page\n".repeat(300));
  fs.writeFileSync(path.join(dir, "notes.txt"), plain);
  runCli(["secure-file", "notes.txt", "notes.sec"], "drop");
  fs.writeFileSync(path.join(dir, "empty"), "");
  runCli(["secure-file", "empty", "empty.sec"], "drop");
  for (const [file, name, expected] of [
    ["notes.txt", "notes.txt.hush", fs.readFileSync(path.join(dir, "notes.sec"))],
    ["notes.sec", "notes.sec.de-secured", plain],
    ["empty.sec", "empty.sec.de-secured", Buffer.alloc(0)]]) {
    await fill("#txtPassword", "drop");
    const [{ name: suggested, bytes }] = await drop([file]);
    assert.equal(suggested, name);
    assert.ok(bytes.equals(expected), file);
  }
});

test("files dropped together are each worked on, and the status line tells of each", async () => {
  fs.writeFileSync(path.join(dir, "a.txt"), "first");
  fs.writeFileSync(path.join(dir, "b.txt"), "second");
  runCli(["secure-file", "a.txt", "a.sec"], "two");
  runCli(["secure-file", "b.txt", "b.sec"], "two");
  await fill("#txtPassword", "two");
  const got = await drop(["a.sec", "b.txt"]);
  assert.deepEqual(got.map((d) => d.name), ["a.sec.de-secured", "b.txt.hush"]);
  assert.equal(got[0].bytes.toString(), "first");
  assert.ok(got[1].bytes.equals(fs.readFileSync(path.join(dir, "b.sec"))));
  assert.equal(await status(), [
    "Offered as a download named \"a.sec.de-secured\". See the browser's downloads.",
    "Offered as a download named \"b.txt.hush\". See the browser's downloads."].join("\n"));
});

test("a page carrying a message opens ready for the password, with its hint", async () => {
  const secured = runCli(["secure-text"], "Rex", "The key is under the mat.");
  const wrapped = secured.trimEnd().match(/.{1,16}/g).join("\n") + "\n";
  fs.writeFileSync(path.join(dir, "secured.txt"), wrapped);
  const carrying = path.join(dir, "carrying.html");
  runCli(["receiver-page", "-i", "secured.txt", "--hint", "our first <b>dog</b> & cat", carrying], "-");
  const html = fs.readFileSync(carrying, "utf8");
  assert.ok(html.includes("our first &lt;b&gt;dog&lt;/b&gt; &amp; cat"));
  await open(carrying);
  assert.equal(await box(), secured.trimEnd().replace(/0/g, "|"));
  assert.equal(await page.evaluate("document.getElementById('hint').hidden"), false);
  assert.equal(await page.evaluate("document.getElementById('hint-text').textContent"),
    "our first <b>dog</b> & cat");
  assert.equal(await focused(), "txtPassword");
  assert.equal(await page.evaluate("!!document.getElementById('cannot-run')"), false);
  // It tells a stranger what it is, and De-Secure comes first and stands out.
  assert.equal(await page.evaluate("document.title"), "A secured message");
  assert.equal(await page.evaluate("document.querySelector('h1').innerText"), "A secured message");
  assert.match(await page.evaluate("document.querySelector('main').innerText"), /with Hushnote/);
  assert.deepEqual(await page.evaluate(`[...document.querySelectorAll('button')]
    .filter((b) => !b.hidden).map((b) => b.id)`), ["cmdDeSecure", "cmdSecure", "Command1",
    "cmdCopyForChat", "cmdSecureFile", "cmdDeSecureFile"]);
  const look = (id) => page.evaluate(`(() => { const s = getComputedStyle(
    document.getElementById('${id}')); return s.backgroundColor + ' ' + s.fontWeight; })()`);
  for (const id of ["cmdSecure", "Command1", "cmdSecureFile"]) {
    assert.notEqual(await look("cmdDeSecure"), await look(id), id);
  }
  // A mistyped password and then the right one.
  await page.type("Rax");
  await page.press("Enter");
  await fill("#txtPassword", "Rex");
  await page.press("Enter");
  assert.equal(await box(), "The key is under the mat.");
  fs.writeFileSync(path.join(dir, "plain.txt"), "not secured");
  fs.writeFileSync(path.join(dir, "pw"), "-\n");
  const refused = spawnSync(cli, ["receiver-page", "-i", "plain.txt", "x.html"], { cwd: dir });
  assert.notEqual(refused.status, 0);
  assert.equal(fs.existsSync(path.join(dir, "x.html")), false);
  await open(pagePath);
  assert.equal(await page.evaluate("document.title"), "Hushnote");
  assert.equal(await page.evaluate("document.querySelector('h1').innerText"), "Hushnote");
});

test("a page that cannot run says where to open it, and still shows the message and hint", async () => {
  const secured = runCli(["secure-text"], "Rex", "Under the mat.").trimEnd().replace(/0/g, "|");
  fs.writeFileSync(path.join(dir, "secured.txt"), secured);
  const carrying = path.join(dir, "carrying.html");
  runCli(["receiver-page", "-i", "secured.txt", "--hint", "our first dog", carrying], "-");
  const noteShows = `(() => { const n = document.getElementById("cannot-run");
    return !!n && getComputedStyle(n).visibility === "visible" && n.getBoundingClientRect().height > 0
      && n.textContent.includes("Chrome, Edge, Firefox or Safari"); })()`;
  const cases = [
    { name: "scripts off", scriptsOff: true, atOnce: true },
    { name: "WebAssembly off", before: "delete globalThis.WebAssembly;", atOnce: true },
    { name: "an engine that never starts", atOnce: false, before: `Object.defineProperty(globalThis,
      "HushnoteEngine", { value: () => new Promise(() => {}), writable: false });` },
  ];
  try {
    for (const c of cases) await cannotRun(c);
  } finally {
    await open(pagePath);
  }
  async function cannotRun({ name, scriptsOff, before: source, atOnce }) {
    await page.send("Emulation.setScriptExecutionDisabled", { value: !!scriptsOff });
    const added = source && await page.send("Page.addScriptToEvaluateOnNewDocument", { source });
    await page.send("Page.navigate", { url: "about:blank" });
    await page.waitFor("location.href === 'about:blank'");
    await page.send("Page.navigate", { url: "file://" + carrying });
    await page.waitFor("location.protocol === 'file:' && document.readyState === 'complete'");
    try {
      assert.equal(await page.evaluate(noteShows), atOnce, name);
      if (!atOnce) await page.waitFor(noteShows, 8000);
      assert.equal(await box(), secured, name);
      assert.equal(await page.evaluate("getComputedStyle(document.getElementById('hint')).display"),
        "block", name);
      assert.equal(await page.evaluate("document.getElementById('txtMsg').disabled"), false, name);
      assert.equal(await page.evaluate("document.querySelector('h1').innerText"),
        "A secured message", name);
    } finally {
      if (added) await page.send("Page.removeScriptToEvaluateOnNewDocument", added);
      await page.send("Emulation.setScriptExecutionDisabled", { value: false });
    }
  }
});

test("every control is labelled, reachable with Tab in order, and fits a phone at 200 %", async () => {
  const unlabelled = await page.evaluate(`[...document.querySelectorAll('textarea, input:not([type=file]), button, progress')]
    .filter((c) => !(c.labels && c.labels.length) && !c.textContent.trim()
      && !c.getAttribute('aria-labelledby')).map((c) => c.id)`);
  assert.deepEqual(unlabelled, []);
  // Copy for Chat is in the order while the box holds secured text.
  await fill("#txtMsg", runCli(["secure-text"], "pw", "tab").trimEnd());
  await page.click("#txtMsg");
  const order = [];
  for (let i = 0; i < 8; i++) {
    await page.press("Tab");
    order.push(await focused());
    assert.notEqual(await page.evaluate("getComputedStyle(document.activeElement).outlineStyle"),
      "none", await focused());
  }
  assert.deepEqual(order, ["txtPassword", "chkShow", "cmdSecure", "cmdDeSecure", "Command1",
    "cmdCopyForChat", "cmdSecureFile", "cmdDeSecureFile"]);
  for (const [width, zoom] of [[360, 1], [360, 2]]) {
    await page.send("Emulation.setDeviceMetricsOverride",
      { width: width / zoom, height: 640, deviceScaleFactor: zoom, mobile: false });
    assert.ok(await page.evaluate("document.documentElement.scrollWidth") <= width / zoom);
  }
  await page.send("Emulation.clearDeviceMetricsOverride");
});

test("the page asked nothing of any network", () => {
  const foreign = requests.filter((u) => !u.startsWith("file:") && !u.startsWith("data:")
    && !u.startsWith("blob:"));
  assert.deepEqual(foreign, []);
  assert.ok(requests.some((u) => u.startsWith("file:")));
});

test("the page's own rules stop it reaching a network", async () => {
  const blocked = await page.evaluate(`new Promise((resolve) => {
    document.addEventListener("securitypolicyviolation", (e) => resolve(e.effectiveDirective));
    fetch("http://127.0.0.1:9/").catch(() => {});
    setTimeout(() => resolve("nothing"), 5000);
  })`);
  assert.equal(blocked, "connect-src");
});
