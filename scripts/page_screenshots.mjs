// Screenshots of the receiver page, light and dark, at desktop and phone
// width: as a receiver opens it, holding secured text (Copy for Chat offered),
// after De-Secure of a paste a chat shortened (the status line tells it), and
// after Secure on secured text (the status line asks), and with scripts off,
// as a mail preview shows it. Given a page made by receiver-page, the same of
// the page as it opens for its receiver, and after a wrong password.
//   node scripts/page_screenshots.mjs PAGE.html OUT-FOLDER
import fs from "node:fs";
import path from "node:path";
import { launch, openPage } from "../tests/web/cdp.mjs";

const [pagePath, outDir] = process.argv.slice(2).map((p) => path.resolve(p));
fs.mkdirSync(outDir, { recursive: true });
const browser = await launch();
const page = await openPage(browser);
const shots = [
  ["desktop-light", 900, 760, "light"], ["desktop-dark", 900, 760, "dark"],
  ["phone-light", 360, 740, "light"], ["phone-dark", 360, 740, "dark"],
  ["desktop-noscript", 900, 760, "light", false], ["phone-noscript", 360, 740, "dark", false],
];
const click = (id) => `document.getElementById('${id}').click()`;
const set = (id, value) => `document.getElementById('${id}').value = ${JSON.stringify(value)}`;
const states = {
  opened: [set("txtPassword", "Rex")],
  secured: [set("txtMsg", "The key is under the mat, the blue one by the back door."),
    set("txtPassword", "Rex"), click("cmdSecure")],
  changed: [set("txtMsg", "The key is under the mat, the blue one by the back door."),
    set("txtPassword", "Rex"), click("cmdSecure"),
    "const b = document.getElementById('txtMsg'); b.value = b.value.slice(0, 30) + b.value.slice(31)",
    set("txtPassword", "Rex"), click("cmdDeSecure")],
  asked: [set("txtMsg", "The key is under the mat."), set("txtPassword", "Rex"), click("cmdSecure"),
    set("txtPassword", "Rex"), click("cmdSecure")],
  wrong: [set("txtPassword", "Rax"), click("cmdDeSecure")],
};
for (const [name, width, height, scheme, scripts = true] of shots) {
  await page.send("Emulation.setScriptExecutionDisabled", { value: !scripts });
  await page.send("Emulation.setDeviceMetricsOverride", { width, height, deviceScaleFactor: 1, mobile: width < 500 });
  await page.send("Emulation.setEmulatedMedia", { features: [{ name: "prefers-color-scheme", value: scheme }] });
  if (!scripts) {
    await page.send("Page.navigate", { url: "file://" + pagePath });
    await page.waitFor("document.readyState === 'complete'");
    const { data } = await page.send("Page.captureScreenshot", { format: "png" });
    fs.writeFileSync(path.join(outDir, `page-${name}.png`), Buffer.from(data, "base64"));
    continue;
  }
  for (const [state, steps] of Object.entries(states)) {
    await page.send("Page.navigate", { url: "file://" + pagePath });
    await page.waitFor("document.body && document.body.dataset.ready === '1'");
    for (const step of steps) await page.evaluate(step);
    await page.evaluate("document.activeElement.blur()");
    const { data } = await page.send("Page.captureScreenshot", { format: "png" });
    const file = state === "opened" ? `page-${name}.png` : `page-${state}-${name}.png`;
    fs.writeFileSync(path.join(outDir, file), Buffer.from(data, "base64"));
  }
}
await browser.close();
