// Debian's chromium, headless, allowed to play sound at once (muted), and the page served
// twice on free ports: cross-origin isolated, and plain.
import puppeteer from 'puppeteer-core';

import {startServer} from '../../platform/web/serve.mjs';

export async function openBrowser(directory) {
    const browser = await puppeteer.launch({
        executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
        headless: true,
        args: ['--no-sandbox', '--autoplay-policy=no-user-gesture-required', '--mute-audio'],
    });
    const isolated = await startServer(directory, {port: 0, isolated: true});
    const plain = await startServer(directory, {port: 0, isolated: false});
    return {
        browser,
        isolated,
        plain,
        address: (server, query) => `http://localhost:${server.address().port}/${query}`,
        close: async () => {
            await browser.close();
            isolated.close();
            plain.close();
        },
    };
}
