// Screenshots of the receiver page, light and dark, at desktop and phone
// width, with a secured message and a hint inside as a receiver sees it, and
// with scripts off, as a mail preview shows it.
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
for (const [name, width, height, scheme, scripts = true] of shots) {
  await page.send("Emulation.setScriptExecutionDisabled", { value: !scripts });
  await page.send("Emulation.setDeviceMetricsOverride", { width, height, deviceScaleFactor: 1, mobile: width < 500 });
  await page.send("Emulation.setEmulatedMedia", { features: [{ name: "prefers-color-scheme", value: scheme }] });
  await page.send("Page.navigate", { url: "file://" + pagePath });
  if (scripts) {
    await page.waitFor("document.body && document.body.dataset.ready === '1'");
    await page.evaluate("document.getElementById('txtPassword').value = 'Rex'; document.activeElement.blur()");
  } else {
    await page.waitFor("document.readyState === 'complete'");
  }
  const { data } = await page.send("Page.captureScreenshot", { format: "png" });
  fs.writeFileSync(path.join(outDir, `page-${name}.png`), Buffer.from(data, "base64"));
}
await browser.close();
