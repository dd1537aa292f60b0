// The share of a core a headless browser takes, with every process it started, from the
// kernel's counts in /proc.
import {readdirSync, readFileSync} from 'node:fs';

const kTicksPerSecond = 100;  // the kernel's clock ticks in /proc/*/stat

// Processor ticks of the browser and every process below it.
function browserTicks(root) {
    const parents = new Map();
    const ticks = new Map();
    for (const entry of readdirSync('/proc')) {
        if (!/^\d+$/.test(entry)) continue;
        try {
            const stat = readFileSync(`/proc/${entry}/stat`, 'utf8');
            const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
            parents.set(Number(entry), Number(fields[1]));
            ticks.set(Number(entry), Number(fields[11]) + Number(fields[12]));
        } catch {
            // gone meanwhile
        }
    }
    const inTree = (pid) =>
        pid === root || (parents.has(pid) && pid > 1 && inTree(parents.get(pid)));
    let total = 0;
    for (const [pid, count] of ticks) {
        if (inTree(pid)) total += count;
    }
    return total;
}

// Percent of one core the browser took over the next `seconds`.
export async function browserShare(browser, seconds) {
    const root = browser.process().pid;
    const before = browserTicks(root);
    await new Promise((resolve) => setTimeout(resolve, seconds * 1000));
    return Math.round(((browserTicks(root) - before) / kTicksPerSecond / seconds) * 100);
}
