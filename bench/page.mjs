// Figures for the receiver page in headless Chromium: time to usable, Secure
// plus De-Secure of 20,000 characters, and a 16,777,215-byte file secured and
// de-secured in the page against hushnote-cli --mode builtin on the same file.
// The file's figures come twice: the time it took, and the processor time the
// browser (all its processes) and the program used, which a machine busy with
// other work hardly changes. Each direction ends with the medians of the
// run's rounds, so that one run reads at a glance.
//
//   node bench/page.mjs build/wasm/bin/hushnote.html build/release/bin/hushnote-cli [rounds]
import { execFileSync } from "node:child_process";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { launch, openPage, removeFolder } from "../tests/web/cdp.mjs";

const [pagePath, cli] = process.argv.slice(2, 4).map((p) => path.resolve(p));
const rounds = Number(process.argv[4] || 5);
const dir = fs.mkdtempSync(path.join(os.tmpdir(), "hushnote-bench-"));
const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];
const browser = await launch();
const page = await openPage(browser);
const downloads = path.join(dir, "downloads");
const chooser = [], done = new Set();
browser.on((m) => {
  if (m.method === "Page.fileChooserOpened") chooser.push(m.params.backendNodeId);
  if (m.method === "Browser.downloadProgress" && m.params.state === "completed") done.add(m.params.guid);
});
await browser.send("Browser.setDownloadBehavior", { behavior: "allowAndName", downloadPath: downloads, eventsEnabled: true });
await page.send("Page.enable");
await page.send("Page.setInterceptFileChooserDialog", { enabled: true });

const usable = [];
for (let i = 0; i < 5; i++) {
  await page.send("Page.navigate", { url: "file://" + pagePath });
  await page.waitFor("document.body && document.body.dataset.ready === '1'");
  usable.push(await page.evaluate("performance.getEntriesByName('hushnote-ready')[0].startTime"));
}
console.log(`time to usable: ${median(usable).toFixed(0)} ms (median of 5 loads)`);

const text = await page.evaluate(`(() => {
  const box = document.getElementById('txtMsg'), pw = document.getElementById('txtPassword');
  // 740 lines of 25 characters and a line break (CR LF: 2), then 20: 20,000.
  const message = 'The quick brown fox, 5 €.\\n'.repeat(740) + 'a'.repeat(20);
  const times = [];
  for (let i = 0; i < 21; i++) {
    box.value = message;
    const t0 = performance.now();
    pw.value = 'pw'; document.getElementById('cmdSecure').click();
    pw.value = 'pw'; document.getElementById('cmdDeSecure').click();
    times.push(performance.now() - t0);
    if (box.value !== message) return -1;
  }
  return times.sort((a, b) => a - b)[10];
})()`);
console.log(`secure + de-secure of 20,000 characters: ${text.toFixed(2)} ms (median of 21)`);

const size = 16777215;
const plain = path.join(dir, "big.bin");
const bytes = Buffer.alloc(size);
for (let i = 0; i < size; i++) bytes[i] = (i * 2654435761) >>> 24;
fs.writeFileSync(plain, bytes);
fs.writeFileSync(path.join(dir, "pw"), "pw\n");
// Processor time in ms from Linux's /proc: user and system, of a process and
// of the children it has waited for.
const tick = 1000 / Number(execFileSync("getconf", ["CLK_TCK"]).toString());
function stat(pid) {
  const fields = fs.readFileSync(`/proc/${pid}/stat`, "latin1").split(") ")[1].split(" ");
  return { parent: Number(fields[1]), own: (Number(fields[11]) + Number(fields[12])) * tick,
    waited: (Number(fields[13]) + Number(fields[14])) * tick };
}
function browserCpu() {
  const all = new Map();
  for (const pid of fs.readdirSync("/proc").filter((p) => /^\d+$/.test(p))) {
    try { all.set(Number(pid), stat(pid)); } catch (gone) { /* ended meanwhile */ }
  }
  let ms = 0;
  for (const [pid, s] of all) {
    for (let p = pid; all.has(p); p = all.get(p).parent) {
      if (p === browser.pid) {
        ms += s.own + s.waited;
        break;
      }
    }
  }
  return ms;
}
function timeCli(args) {
  const t0 = process.hrtime.bigint(), cpu0 = stat("self").waited;
  execFileSync(cli, ["--mode", "builtin", "--password-file", path.join(dir, "pw"), ...args]);
  return { ms: Number(process.hrtime.bigint() - t0) / 1e6, cpu: stat("self").waited - cpu0 };
}
// Times the page on file and checks its download against the program's output.
async function timePage(button, file, expected) {
  await page.evaluate("document.getElementById('txtPassword').value = 'pw'");
  const before = new Set(done);
  const deadline = Date.now() + 300000;
  const wait = async (until, what) => {
    while (!until()) {
      if (Date.now() > deadline) throw new Error(`no ${what} after 300 s on ${file}`);
      await new Promise((r) => setTimeout(r, 2));
    }
  };
  await page.click(`#${button}`); // a real click: a file chooser needs one
  await wait(() => chooser.length > 0, "file chooser");
  // The wait starts as the file is chosen, as the program's starts as it is
  // started: the button and the chooser are the user's own time.
  // The processor count first: reading every process's figures takes a
  // while, which is the bench's time, not the page's.
  const cpu0 = browserCpu(), t0 = process.hrtime.bigint();
  await page.send("DOM.setFileInputFiles", { files: [file], backendNodeId: chooser.shift() });
  await wait(() => done.size > before.size, "download");
  const ms = Number(process.hrtime.bigint() - t0) / 1e6, cpu = browserCpu() - cpu0;
  const guid = [...done].find((g) => !before.has(g));
  if (!fs.readFileSync(path.join(downloads, guid)).equals(fs.readFileSync(expected))) {
    throw new Error(`the page's output for ${file} differs from hushnote-cli's`);
  }
  return { ms, cpu };
}
const figures = (what, pageRun, cliRun) =>
  `${what} page ${pageRun.ms.toFixed(0)} ms / cli ${cliRun.ms.toFixed(0)} ms = ${(pageRun.ms / cliRun.ms).toFixed(2)}x ` +
  `(processor ${pageRun.cpu.toFixed(0)} / ${cliRun.cpu.toFixed(0)} ms = ${(pageRun.cpu / cliRun.cpu).toFixed(2)}x)`;
const runs = { secure: [], "de-secure": [] };
for (let round = 0; round < rounds; round++) {
  const cliSecure = timeCli(["secure-file", plain, path.join(dir, "big.bin.hush")]);
  const cliDeSecure = timeCli(["desecure-file", path.join(dir, "big.bin.hush"), path.join(dir, "big.back")]);
  const pageSecure = await timePage("cmdSecureFile", plain, path.join(dir, "big.bin.hush"));
  const pageDeSecure = await timePage("cmdDeSecureFile", path.join(dir, "big.bin.hush"),
    path.join(dir, "big.back"));
  console.log(`16,777,215 bytes, round ${round + 1}: ${figures("secure", pageSecure, cliSecure)}; ` +
    figures("de-secure", pageDeSecure, cliDeSecure));
  runs.secure.push([pageSecure, cliSecure]);
  runs["de-secure"].push([pageDeSecure, cliDeSecure]);
}
for (const [what, pairs] of Object.entries(runs)) {
  const m = (f) => median(pairs.map(f));
  console.log(`median of ${rounds}, ${what}: page ${m(([p]) => p.ms).toFixed(0)} ms / ` +
    `cli ${m(([, c]) => c.ms).toFixed(0)} ms, ratio ${m(([p, c]) => p.ms / c.ms).toFixed(2)}x; ` +
    `processor ${m(([p]) => p.cpu).toFixed(0)} / ${m(([, c]) => c.cpu).toFixed(0)} ms, ` +
    `ratio ${m(([p, c]) => p.cpu / c.cpu).toFixed(2)}x`);
}
await browser.close();
removeFolder(dir);
