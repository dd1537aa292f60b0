// The share of a core a headless browser takes, with every process it started, from the
// kernel's counts in /proc; and of that, its renderers' (the pages' own processes) and
// its GPU process's (where, compositing in software, the display is drawn).
import {readdirSync, readFileSync} from 'node:fs';

const kTicksPerSecond = 100;  // the kernel's clock ticks in /proc/*/stat

// Processes counted apart as well, by the flag the browser starts them with.
const kKinds = {
    renderers: '--type=renderer',
    gpu: '--type=gpu-process'
};

// Processor ticks of the browser and every process below it, and of each kind above.
function browserTicks(root) {
    const parents = new Map();
    const ticks = new Map();
    const kinds = new Map();
    for (const entry of readdirSync('/proc')) {
        if (!/^\d+$/.test(entry)) continue;
        try {
            const stat = readFileSync(`/proc/${entry}/stat`, 'utf8');
            const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
            parents.set(Number(entry), Number(fields[1]));
            ticks.set(Number(entry), Number(fields[11]) + Number(fields[12]));
            const command = readFileSync(`/proc/${entry}/cmdline`, 'utf8');
            for (const [kind, flag] of Object.entries(kKinds)) {
                if (command.includes(flag)) kinds.set(Number(entry), kind);
            }
        } catch {
            // gone meanwhile
        }
    }
    const inTree = (pid) =>
        pid === root || (parents.has(pid) && pid > 1 && inTree(parents.get(pid)));
    const counted = {browser: 0};
    for (const kind of Object.keys(kKinds))
        counted[kind] = 0;
    for (const [pid, count] of ticks) {
        if (!inTree(pid)) continue;
        counted.browser += count;
        if (kinds.has(pid)) counted[kinds.get(pid)] += count;
    }
    return counted;
}

// Percent of one core the browser, and its processes of each kind, took over the next
// `seconds`.
export async function browserShare(browser, seconds) {
    const root = browser.process().pid;
    const before = browserTicks(root);
    await new Promise((resolve) => setTimeout(resolve, seconds * 1000));
    const after = browserTicks(root);
    const percent = (key) =>
        Math.round(((after[key] - before[key]) / kTicksPerSecond / seconds) * 100);
    return Object.fromEntries(Object.keys(before).map((key) => [key, percent(key)]));
}

export function shareText({browser, renderers, gpu}) {
    return `${browser} % of a core (the browser and all its processes; its renderers ${
        renderers} %, its GPU process ${gpu} %)`;
}
