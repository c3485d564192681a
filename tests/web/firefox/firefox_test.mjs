// The receiver page in Firefox, the second browser engine: a short smoke test
// in Debian's firefox-esr, driven over WebDriver BiDi by puppeteer-core (no
// browser of its own). Each row is one function that takes the open page and
// does what a receiver does; a new row is one more function in the table.
//
//   node tests/web/firefox/firefox_test.mjs build/wasm/bin/hushnote.html build/dev/bin/hushnote-cli
import assert from "node:assert/strict";
import { spawnSync } from "node:child_process";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { after, before, test } from "node:test";
import puppeteer from "puppeteer-core";

const [pagePath, cli] = process.argv.slice(2).map((p) => path.resolve(p));
const dir = fs.mkdtempSync(path.join(os.tmpdir(), "hushnote-firefox-"));
const downloads = path.join(dir, "downloads");
fs.mkdirSync(downloads);
let browser, page;

function runCli(args, password, input) {
  fs.writeFileSync(path.join(dir, "pw"), password + "\n");
  const pwOption = args[0] === "receiver-page" ? [] : ["--password-file", path.join(dir, "pw")];
  const r = spawnSync(cli, [...pwOption, ...args], { cwd: dir, input });
  assert.equal(r.status, 0, r.stderr.toString());
  return r.stdout.toString();
}

async function open(file) {
  await page.goto("file://" + file);
  await page.waitForFunction("document.body.dataset.ready === '1'");
}
const value = (selector) => page.$eval(selector, (e) => e.value);
const status = () => page.$eval("#lblStatus", (e) => e.textContent);
async function fill(selector, text) {
  await page.$eval(selector, (e) => { e.value = ""; });
  await page.type(selector, text);
}

// Picks file with button's chooser and returns the download once whole: the
// bytes of the file named name in the download folder.
async function throughFile(button, file, name) {
  const [chooser] = await Promise.all([page.waitForFileChooser(), page.click(button)]);
  await chooser.accept([file]);
  const saved = path.join(downloads, name);
  for (let i = 0; i < 500; i++) {
    const partial = fs.readdirSync(downloads).some((f) => f.endsWith(".part"));
    if (!partial && fs.existsSync(saved) && (await status()).startsWith("Offered")) break;
    await new Promise((r) => setTimeout(r, 20));
  }
  const bytes = fs.readFileSync(saved);
  fs.rmSync(saved);
  return bytes;
}

async function loads(p) {
  await open(pagePath);
  assert.equal(await status(), "");
  assert.equal(await p.$("#cannot-run"), null);
  assert.equal(await p.$eval("#txtMsg", (e) => e.readOnly), false);
}

async function textRoundTrip(p) {
  const message = "Grüße aus Köln, 5 €.\nSee you — soon.";
  await fill("#txtMsg", message);
  await fill("#txtPassword", "dog");
  await p.click("#cmdSecure");
  assert.equal(await value("#txtMsg"), runCli(["secure-text"], "dog", message).trimEnd());
  await fill("#txtPassword", "dog");
  await p.click("#cmdDeSecure");
  assert.equal(await value("#txtMsg"), message);
  assert.equal(await status(), "");
}

async function secondTry(p) {
  const secured = runCli(["secure-text"], "dog", "Second time lucky.").trimEnd();
  await fill("#txtMsg", secured);
  await fill("#txtPassword", "cat");
  await p.click("#cmdDeSecure");
  assert.equal(await p.$eval("#cmdUndo", (e) => e.hidden), false);
  await fill("#txtPassword", "dog");
  await p.click("#cmdDeSecure");
  assert.equal(await value("#txtMsg"), "Second time lucky.");
  await p.keyboard.down("Control");
  await p.keyboard.press("z");
  await p.keyboard.up("Control");
  assert.equal(await value("#txtMsg"), secured);
}

async function carriedPage(p) {
  const secured = runCli(["secure-text"], "Rex", "The key is under the mat.").trimEnd();
  fs.writeFileSync(path.join(dir, "secured.txt"), secured);
  const carrying = path.join(dir, "carrying.html");
  runCli(["receiver-page", "-i", "secured.txt", "--hint", "our first <b>dog</b>", carrying], "-");
  await open(carrying);
  assert.equal(await value("#txtMsg"), secured.replace(/0/g, "|"));
  assert.equal(await p.$eval("#hint", (e) => e.hidden || getComputedStyle(e).display === "none"),
    false);
  assert.equal(await p.$eval("#hint-text", (e) => e.textContent), "our first <b>dog</b>");
  assert.equal(await p.evaluate(() => document.activeElement.id), "txtPassword");
  await p.keyboard.type("Rex");
  await p.keyboard.press("Enter");
  assert.equal(await value("#txtMsg"), "The key is under the mat.");
  await open(pagePath);
}

async function oneFile() {
  const plain = Buffer.from(Array.from({ length: 70000 }, (_, i) => (i * 7919) % 251));
  fs.writeFileSync(path.join(dir, "report.pdf"), plain);
  runCli(["secure-file", "report.pdf", "cli.hush"], "€ file");
  const cliSecured = fs.readFileSync(path.join(dir, "cli.hush"));
  await fill("#txtPassword", "€ file");
  const secured = await throughFile("#cmdSecureFile", path.join(dir, "report.pdf"),
    "report.pdf.hush");
  assert.ok(secured.equals(cliSecured), "the secured file is the program's");
  assert.equal(await status(),
    "Offered as a download named \"report.pdf.hush\". See the browser's downloads.");

  fs.mkdirSync(path.join(dir, "in"));
  fs.writeFileSync(path.join(dir, "in", "report.pdf.hush"), cliSecured);
  await fill("#txtPassword", "€ file");
  const back = await throughFile("#cmdDeSecureFile", path.join(dir, "in", "report.pdf.hush"),
    "report.pdf");
  assert.ok(back.equals(plain), "the de-secured file is the original");
}

// In order: later rows start on the page the earlier ones leave open.
const rows = [
  ["the page loads, its engine running", loads],
  ["a message secures to the program's secured text and comes back", textRoundTrip],
  ["a second try after a wrong password gives the message, and Ctrl+Z the secured text",
    secondTry],
  ["a page carrying a message opens with it and its hint", carriedPage],
  ["a file secures to the program's secured file and comes back", oneFile],
];

before(async () => {
  browser = await puppeteer.launch({
    browser: "firefox",
    executablePath: process.env.FIREFOX || "/usr/bin/firefox-esr",
    headless: true,
  });
  const context = await browser.createBrowserContext(
    { downloadBehavior: { policy: "allow", downloadPath: downloads } });
  page = await context.newPage();
});
after(async () => {
  await browser?.close();
  fs.rmSync(dir, { recursive: true, force: true });
});
for (const [name, row] of rows) test(name, () => row(page));
