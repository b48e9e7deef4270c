// Opens the three.js page in Debian's Chromium (headless, no network but
// the local server), waits until the file is loaded and has played for a
// moment, poses it at one frame and saves two screenshots: the silhouette
// on a transparent background and the picture on the preview's background.
//   node render.js URL FRAME FPS WIDTH HEIGHT SILHOUETTE.png PICTURE.png
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const { chromium } = require('playwright-core');

(async () => {
    const [url, frame, fps, width, height, silhouette, picture] = process.argv.slice(2);
    const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'kinovela-chromium-'));
    // A fresh profile each run; WebGL without a GPU draws with SwiftShader.
    const browser = await chromium.launchPersistentContext(profile, {
        executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
        headless: true,
        args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
               '--disable-background-networking', '--disable-component-update', '--disable-sync',
               '--use-angle=swiftshader', '--enable-unsafe-swiftshader'],
        viewport: { width: Number(width), height: Number(height) },
    });
    try {
        const page = browser.pages()[0] || await browser.newPage();
        const log = [];
        page.on('console', (m) => log.push(m.type() + ': ' + m.text()));
        page.on('pageerror', (e) => log.push('page error: ' + e));
        await page.goto(url);
        await page.waitForFunction(() => window.kinovela && (window.kinovela.ready || window.kinovela.error),
                                   null, { timeout: 60000 });
        const failure = await page.evaluate(() => window.kinovela.error);
        if (failure) throw new Error(failure + '\n' + log.join('\n'));
        // Let it play: the animation runs in the page's own loop.
        await page.waitForFunction(() => window.kinovela.playedFrames >= 10, null, { timeout: 60000 });
        const canvas = page.locator('canvas');
        await page.evaluate(([f, r]) => window.kinovela.showFrame(f, r, false), [Number(frame), Number(fps)]);
        await canvas.screenshot({ path: silhouette, omitBackground: true });
        await page.evaluate(([f, r]) => window.kinovela.showFrame(f, r, true), [Number(frame), Number(fps)]);
        await canvas.screenshot({ path: picture });
        const state = await page.evaluate(() => ({ played: window.kinovela.playedFrames, duration: window.kinovela.duration }));
        console.log(JSON.stringify(Object.assign(state, { log })));
    } finally {
        await browser.close();
        fs.rmSync(profile, { recursive: true, force: true });
    }
})().catch((e) => {
    console.error(String(e && e.stack ? e.stack : e));
    process.exitCode = 1;
});
