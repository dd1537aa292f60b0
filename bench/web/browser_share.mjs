// The share of a core a headless browser takes, with every process it started, from the
// kernel's counts in /proc; and of that, its renderers' (the pages' own processes).
import {readdirSync, readFileSync} from 'node:fs';

const kTicksPerSecond = 100;  // the kernel's clock ticks in /proc/*/stat

// Processor ticks of the browser and every process below it, and of its renderers.
function browserTicks(root) {
    const parents = new Map();
    const ticks = new Map();
    const renderers = new Set();
    for (const entry of readdirSync('/proc')) {
        if (!/^\d+$/.test(entry)) continue;
        try {
            const stat = readFileSync(`/proc/${entry}/stat`, 'utf8');
            const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
            parents.set(Number(entry), Number(fields[1]));
            ticks.set(Number(entry), Number(fields[11]) + Number(fields[12]));
            if (readFileSync(`/proc/${entry}/cmdline`, 'utf8').includes('--type=renderer'))
                renderers.add(Number(entry));
        } catch {
            // gone meanwhile
        }
    }
    const inTree = (pid) =>
        pid === root || (parents.has(pid) && pid > 1 && inTree(parents.get(pid)));
    const counted = {browser: 0, renderers: 0};
    for (const [pid, count] of ticks) {
        if (!inTree(pid)) continue;
        counted.browser += count;
        if (renderers.has(pid)) counted.renderers += count;
    }
    return counted;
}

// Percent of one core the browser, and its renderers, took over the next `seconds`.
export async function browserShare(browser, seconds) {
    const root = browser.process().pid;
    const before = browserTicks(root);
    await new Promise((resolve) => setTimeout(resolve, seconds * 1000));
    const after = browserTicks(root);
    const percent = (key) =>
        Math.round(((after[key] - before[key]) / kTicksPerSecond / seconds) * 100);
    return {browser: percent('browser'), renderers: percent('renderers')};
}

export function shareText({browser, renderers}) {
    return `${browser} % of a core (the browser and all its processes; its renderers ${
        renderers} %)`;
}
