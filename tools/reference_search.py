#!/usr/bin/env python3
"""A seeded random search for reference files on which the program's bounds
do not hold.

Each document is built from markup that costs the XML library time or memory
out of proportion to its size (many attributes in a tag, namespace prefixes
declared again at every level, declared defaults, entities built from
entities, parameter entities making a tag), in one of the encodings the
library reads, at a size drawn between 1 KiB and the file bound. The built
program runs "/d out.xml" on the demo machine (tools/demo) through zrn-sim
with each document as its reference.xml, and the search reports every run
that took more processor time or memory than the reader allows it, or ended
any other way than by loading (exit 3) or failing the load (exit 7, with
"Loading references...FAILED!" and, for a refusal, the line naming the bound).

    tools/reference_search.py BUILD_DIR [--seed N] [--count N]

BUILD_DIR holds a Release build (core/KTXXXXXX.tolux, tests/sim/zrn-sim and
the stand-in libraries). Needs root, like zrn-sim. Exits 1 when a
counter-example was found.
"""
import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile

FILE_BOUND = 4 << 20
# What one run may take: the trial's two seconds, the program's own parse of
# a document the trial let through (as long again at most), and the rest of
# the run; and memory: the library's 512 MiB, twice the largest file, and
# the program itself.
CPU_SECONDS = 2 * 2 + 1.5
RSS_BYTES = (512 << 20) + 2 * FILE_BOUND + (64 << 20)

DEVICE = ('<device><type value="FC HBA"/><device_id value="1077.2532.1077.015d"/>'
          '<model value="QLE2562"/><bios value="2.16"/><duration value="120"/></device>')
ENCODINGS = [None, 'UTF-16', 'UTF-7', 'IBM037', 'UCS-4', 'ISO-2022-JP', 'ISO-8859-1']


def attributes(rng, count, infix=''):
    return ''.join(' a%s%d=""' % (infix, i) for i in range(count))


def markup(rng, budget):
    """One piece of costly markup of about `budget` characters: (doctype, body)."""
    kind = rng.randrange(8)
    if kind == 0:  # one tag of many attributes
        return '', '<x' + attributes(rng, max(1, budget // 8)) + '/>'
    if kind == 1:  # many tags of many attributes
        per = rng.choice([10, 100, 1000, 5000])
        tags = max(1, budget // (per * 8))
        return '', ('<x' + attributes(rng, per) + '/>') * tags
    if kind == 2:  # namespace prefixes declared again at every level
        prefixes = rng.choice([10, 100, 1000])
        decl = ''.join(' xmlns:p%d="u%d"' % (i, i) for i in range(prefixes))
        levels = max(1, min(250, budget // (2 * len(decl) + 1)))
        uses = max(1, (budget - levels * len(decl)) // 8)
        return '', ('<n%s>' % decl) * levels + '<p0:e/>' * uses + '</n>' * levels
    if kind == 3:  # declared defaults for an element used many times
        defaults = max(1, budget // 30)
        uses = rng.choice([1, 3, 100, 2000])
        dtd = '<!ATTLIST d' + ''.join(' a%d CDATA "v"' % i for i in range(defaults)) + '>'
        if rng.random() < 0.5:
            dtd = '<!ATTLIST z q CDATA "&u;">' + dtd
        return dtd, '<d/>' * uses
    if kind == 4:  # entities built from entities
        fan = rng.choice([2, 10, 100, 1000])
        depth = rng.randrange(1, 5)
        dtd = '<!ENTITY e0 "%s">' % ('x' * rng.choice([0, 1, 10, 100]))
        for level in range(1, depth + 1):
            dtd += '<!ENTITY e%d "%s">' % (level, ('&e%d;' % (level - 1)) * fan)
        uses = max(1, budget // 8)
        where = rng.random()
        if where < 0.5:
            return dtd, '<t>' + ('&e%d;' % depth) * uses + '</t>'
        return dtd, '<t v="' + ('&e%d;' % depth) * uses + '"/>'
    if kind == 5:  # a tag from parameter entities
        parts = max(1, budget // 12000)
        entities = ''.join('<!ENTITY %% p%d "%s">' % (k, ''.join(
            " a%d_%d=''" % (k, i) for i in range(1000))) for k in range(parts))
        refs = ''.join('&#37;p%d;' % k for k in range(parts))
        pad = ' ' * rng.choice([0, 1000, 100000])
        return (entities + '<!ENTITY % d "' + pad + "<!ENTITY e '&#60;x" + refs +
                "/&#62;'>\">%d;"), '&e;'
    if kind == 6:  # an entity's tag from character references
        return ('<!ENTITY t "&#60;x' + ''.join(" a%d&#61;''" % i for i in range(max(1, budget // 12))) +
                '/&#62;">'), '&t;'
    # deep nesting and many small nodes
    depth = rng.choice([100, 1000, 10000])
    return '', '<a>' * depth + '<b/>x' * max(1, budget // 5) + '</a>' * depth


def document(rng):
    size = int(2 ** rng.uniform(10, 22))
    doctype, body = markup(rng, size)
    encoding = rng.choice(ENCODINGS)
    decl = '<?xml version="1.0"%s?>\n' % (' encoding="%s"' % encoding if encoding else '')
    text = decl
    if doctype:
        text += '<!DOCTYPE marvo_fchba_reference [' + doctype + ']>\n'
    text += '<marvo_fchba_reference><devices>' + DEVICE + body + '</devices></marvo_fchba_reference>\n'
    if encoding in (None, 'ISO-8859-1'):
        data = text.encode('latin-1')
    elif encoding == 'UTF-7':
        data = (decl + text[len(decl):].replace('=', '+AD0-')).encode('ascii')
    else:
        codec = {'UTF-16': 'utf-16', 'IBM037': 'cp037', 'UCS-4': 'utf-32-be',
                 'ISO-2022-JP': 'iso2022_jp'}[encoding]
        data = text.encode(codec)
    return data[:FILE_BOUND]


def run(build, scenario, data):
    shutil.rmtree(scenario, ignore_errors=True)
    shutil.copytree(os.path.join(os.path.dirname(os.path.abspath(__file__)), 'demo'), scenario)
    with open(os.path.join(scenario, 'pkg', 'reference.xml'), 'wb') as f:
        f.write(data)
    copies = [
        '--copy', '/usr/lib/libqlsdm.so=%s/tests/standin/libfchba_standin_ext.so' % build,
        '--copy', '/usr/lib64/libfchba_emx.so=%s/tests/standin/libfchba_standin.so' % build,
        '--copy', '/usr/lib64/libemsdm.so=%s/tests/standin/mgmt/libzrn_mgmt_standin.so' % build,
    ]
    with tempfile.TemporaryFile() as report:
        child = subprocess.Popen([os.path.join(build, 'tests/sim/zrn-sim'), '--timeout', '120'] +
                                 copies + [scenario, os.path.join(build, 'core/KTXXXXXX.tolux'),
                                           '/d', 'out.xml'],
                                 stdout=report, stderr=subprocess.DEVNULL)
        # wait4 reports zrn-sim's time with that of the program it waited
        # for, and the largest memory either held.
        _, status, usage = os.wait4(child.pid, 0)
        child.returncode = os.waitstatus_to_exitcode(status)
        report.seek(0)
        text = report.read().decode('latin-1')
    return (child.returncode, text, usage.ru_utime + usage.ru_stime, usage.ru_maxrss * 1024)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('build')
    parser.add_argument('--seed', type=int, default=1)
    parser.add_argument('--count', type=int, default=100)
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    rng = random.Random(args.seed)
    scenario = tempfile.mkdtemp(prefix='reference-search-')
    found = 0
    worst_cpu = 0.0
    outcomes = {}
    try:
        for i in range(args.count):
            data = document(rng)
            code, report, cpu, rss = run(build, scenario, data)
            worst_cpu = max(worst_cpu, cpu)
            refused = 'reference.xml: refused: ' in report
            outcome = 'loaded' if code == 3 else ('refused' if refused else 'failed') if code == 7 else 'other'
            outcomes[outcome] = outcomes.get(outcome, 0) + 1
            bad = (cpu > CPU_SECONDS or rss > RSS_BYTES or outcome == 'other' or
                   (code == 7 and 'Loading references...FAILED!' not in report))
            print('%3d: %8d bytes  exit %3d  %-7s  %5.2f s  %4d MiB%s' %
                  (i, len(data), code, outcome, cpu, rss >> 20, '  COUNTER-EXAMPLE' if bad else ''),
                  flush=True)
            if bad:
                found += 1
                with open('reference-search-%d-%d.xml' % (args.seed, i), 'wb') as f:
                    f.write(data)
    finally:
        shutil.rmtree(scenario, ignore_errors=True)
    print('%d runs: %s; most processor time %.2f s; %d counter-examples' %
          (args.count, ', '.join('%s %d' % kv for kv in sorted(outcomes.items())), worst_cpu, found))
    return 1 if found else 0


if __name__ == '__main__':
    sys.exit(main())
