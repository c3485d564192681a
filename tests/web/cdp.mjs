// A small client of Chromium's DevTools protocol over --remote-debugging-pipe:
// no npm package and no WebSocket module, only Node and Debian's chromium.
import { spawn } from "node:child_process";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";

// Removes a temporary folder the browser wrote into. A helper process that
// is still going may add a file while it goes, so it is tried a few times;
// what still cannot go stays in the temporary folder, which fails nothing.
export function removeFolder(folder) {
  try {
    fs.rmSync(folder, { recursive: true, force: true, maxRetries: 5, retryDelay: 200 });
  } catch (left) {
    console.error(`left behind: ${folder} (${left.code})`);
  }
}

export async function launch(extraArgs = []) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), "hushnote-chromium-"));
  const chromium = process.env.CHROMIUM || "/usr/bin/chromium";
  // CI runs as root, where chromium needs --no-sandbox.
  const child = spawn(chromium, ["--headless=new", "--no-sandbox", "--disable-gpu",
    "--no-first-run", "--disable-background-networking", "--disable-component-update",
    "--disable-sync", "--remote-debugging-pipe", `--user-data-dir=${profile}`, ...extraArgs,
    "about:blank"], { stdio: ["ignore", "ignore", "ignore", "pipe", "pipe"] });
  const writer = child.stdio[3], reader = child.stdio[4];
  // A browser that is gone shows as a command that gets no answer, not as an
  // error thrown from the pipe.
  writer.on("error", () => {});
  reader.on("error", () => {});
  const exited = new Promise((resolve) => child.once("exit", resolve));
  let nextId = 1, buffered = "";
  const pending = new Map(), listeners = [];
  reader.on("data", (chunk) => {
    buffered += chunk.toString();
    let end;
    while ((end = buffered.indexOf("\0")) >= 0) {
      const message = JSON.parse(buffered.slice(0, end));
      buffered = buffered.slice(end + 1);
      if (message.id && pending.has(message.id)) {
        const { resolve, reject } = pending.get(message.id);
        pending.delete(message.id);
        if (message.error) reject(new Error(JSON.stringify(message.error)));
        else resolve(message.result);
      } else if (message.method) {
        listeners.forEach((l) => l(message));
      }
    }
  });
  const send = (method, params = {}, sessionId) => new Promise((resolve, reject) => {
    const id = nextId++;
    pending.set(id, { resolve, reject });
    writer.write(JSON.stringify({ id, method, params, ...(sessionId ? { sessionId } : {}) }) + "\0");
  });
  // The browser is asked to quit, which ends its helper processes too, and
  // its profile goes only once it has exited.
  const close = async () => {
    if (child.exitCode === null && child.signalCode === null) {
      send("Browser.close").catch(() => {}); // answered, or not, as the pipe closes
      const stuck = setTimeout(() => child.kill("SIGKILL"), 10000);
      await exited;
      clearTimeout(stuck);
    }
    removeFolder(profile);
  };
  return { send, on: (l) => listeners.push(l), close, pid: child.pid };
}

// One page (tab) with helpers that act as a person would: click what is
// seen, type into what has the focus, press keys.
export async function openPage(browser) {
  const { targetId } = await browser.send("Target.createTarget", { url: "about:blank" });
  const { sessionId } = await browser.send("Target.attachToTarget", { targetId, flatten: true });
  const send = (method, params) => browser.send(method, params, sessionId);
  const events = [];
  browser.on((m) => { if (m.sessionId === sessionId) events.push(m); });
  const evaluate = async (expression) => {
    const r = await send("Runtime.evaluate", { expression, awaitPromise: true, returnByValue: true });
    if (r.exceptionDetails) throw new Error(JSON.stringify(r.exceptionDetails));
    return r.result.value;
  };
  const waitFor = async (expression, ms = 10000) => {
    for (const start = Date.now(); Date.now() - start < ms;) {
      if (await evaluate(expression)) return;
      await new Promise((r) => setTimeout(r, 20));
    }
    throw new Error(`timed out waiting for ${expression}`);
  };
  const click = async (selector) => {
    const { x, y } = await evaluate(`(() => { const e = document.querySelector(${JSON.stringify(selector)});
      e.scrollIntoView({ block: "center" });
      const r = e.getBoundingClientRect(); return { x: r.x + r.width / 2, y: r.y + r.height / 2 }; })()`);
    for (const type of ["mousePressed", "mouseReleased"]) {
      await send("Input.dispatchMouseEvent", { type, x, y, button: "left", clickCount: 1 });
    }
  };
  const KEYS = { Enter: 13, Tab: 9, z: 90, a: 65 };
  const press = async (key, modifiers = 0) => {
    const base = { key, code: key.length === 1 ? `Key${key.toUpperCase()}` : key,
      windowsVirtualKeyCode: KEYS[key], modifiers };
    await send("Input.dispatchKeyEvent", { type: "rawKeyDown", ...base });
    await send("Input.dispatchKeyEvent", { type: "keyUp", ...base });
  };
  const type = (text) => send("Input.insertText", { text });
  return { send, evaluate, waitFor, click, press, type, events };
}
