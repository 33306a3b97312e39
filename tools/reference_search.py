#!/usr/bin/env python3
"""A seeded random search for reference files on which the program's bounds
do not hold.

Each document is built from markup that costs the XML library, or the walk
that reads the devices' values, time or memory out of proportion to its size
(many attributes in a tag, namespace prefixes declared again at every level,
declared defaults, entities built from entities, parameter entities making a
tag, long entity names reached through short ones, an error or warning of
the library's on every element), in one of the encodings the library reads,
at a size drawn between 1 KiB and the file bound. The built program runs
"/d out.xml" on the demo machine (tools/demo) through zrn-sim with each
document as its reference.xml, and the search reports every run that took
more processor time or memory than the reader allows it, wrote more to
standard error than the library's bounded messages and a few lines of the
program's own, or ended any other way than by loading (exit 3) or failing
the load (exit 7, with "Loading references...FAILED!" and, for a refusal,
the line naming the bound).

    tools/reference_search.py BUILD_DIR [--seed N] [--count N] [--kinds K,...]

--kinds draws the markup from the named families only (all by default; the
names are those of KINDS).

BUILD_DIR holds a Release build (core/KTXXXXXX.tolux, tests/sim/zrn-sim and
the stand-in libraries). Needs root, like zrn-sim. Exits 1 when a
counter-example was found.
"""
import argparse
import math
import os
import random
import shutil
import subprocess
import sys
import tempfile

FILE_BOUND = 4 << 20
# What one run may take: the trial's two seconds (the whole load runs in
# it), as long again to spare for taking in what it handed back, and the
# rest of the run; and memory: the library's 512 MiB, twice the largest
# file, and the program itself.
CPU_SECONDS = 2 * 2 + 1.5
RSS_BYTES = (512 << 20) + 2 * FILE_BOUND + (64 << 20)
# What one run may write to standard error: the library's messages, kept to
# 64 KiB, and a few lines of the program's own (the one saying the rest was
# left out, and at most one naming the bound that refused the file).
MESSAGE_BYTES = 64 << 10
STDERR_BYTES = MESSAGE_BYTES + (1 << 10)
LEFT_OUT = "reference.xml: the XML library's further messages about it were left out\n"
REFUSED = 'reference.xml: refused: '

DEVICE = ('<device><type value="FC HBA"/><device_id value="1077.2532.1077.015d"/>'
          '<model value="QLE2562"/><bios value="2.16"/><duration value="120"/></device>')
ENCODINGS = [None, 'UTF-16', 'UTF-7', 'IBM037', 'UCS-4', 'ISO-2022-JP', 'ISO-8859-1']


def attributes(rng, count, infix=''):
    return ''.join(' a%s%d=""' % (infix, i) for i in range(count))


def internal(dtd):
    """The text after the root's name in a DOCTYPE holding `dtd` as its subset."""
    return ' [' + dtd + ']'


# The children of a device whose "value" the walk reads.
FIELDS = ['type', 'device_id', 'model', 'firmware', 'bios', 'boot', 'duration']


def long_names(rng, budget):
    """Values whose references cost the walk out of proportion: each one it
    follows looks its entity up by name, and the names at the bottom are long
    (past 50,000 characters the library refuses them) while the ones the values
    hold are short. Names that differ only at their ends take their whole
    length to tell apart."""
    length = int(2 ** rng.uniform(math.log2(1000), math.log2(60000)))
    count = max(1, min(rng.choice([1, 2, 10, 50]), budget // (2 * length)))
    names = ['n' * length + str(i) for i in range(count)]
    content = rng.choice(['', '', 'x'])
    dtd = ''.join('<!ENTITY %s "%s">' % (name, content) for name in names)
    fan = rng.randrange(1, 51)
    dtd += '<!ENTITY e0 "%s">' % ''.join('&%s;' % names[i % count] for i in range(fan))
    depth = rng.choice([0, 0, 1, 2, 3])
    for level in range(1, depth + 1):
        dtd += '<!ENTITY e%d "%s">' % (level, ('&e%d;' % (level - 1)) * rng.choice([1, 2, 10, 50]))
    ref = '&e%d;' % depth
    field = rng.choice(FIELDS)
    where = rng.choice(['read', 'read', 'read', 'mixed', 'other-attribute', 'other-element',
                        'content', 'outside', 'in-entity'])
    child = {
        'read': '<%s value="%s"/>' % (field, ref),
        'mixed': '<%s value="v%sv%s"/>' % (field, ref, ref),
        'other-attribute': '<%s other="%s"/>' % (field, ref),
        'other-element': '<setting value="%s"/>' % ref,
        'content': '<%s value="v">%s</%s>' % (field, ref, field),
        'outside': '<%s value="%s"/>' % (field, ref),
        'in-entity': '&d;',
    }[where]
    if where == 'in-entity':
        dtd += '<!ENTITY d "<device><%s value=\'%s\'/></device>">' % (field, ref)
    uses = max(1, (budget - len(dtd)) // len(child))
    if where == 'outside':
        return internal(dtd), child * uses
    per = max(1, min(uses, rng.choice([1, 10, 1000, uses])))
    return internal(dtd), ('<device>' + child * per + '</device>') * max(1, uses // per)


# Markup the library finds well formed but writes an error or a warning
# about, each time it meets it.
MESSAGE_UNITS = [
    '<a:b/>',  # an element's prefix not declared
    '<b a:c="1"/>',  # an attribute's prefix not declared
    '<b xml:id="x"/>',  # the same ID again
    '<b xml:id="1"/>',  # an ID that is no name
    '<b xmlns="rel"/>',  # a relative namespace name (a warning)
    '<b xmlns:p=""/>',  # a prefix bound to no namespace
    '<b xmlns:p="%zz"/>',  # a namespace name that is no URI
    '<b xml:space="x"/>',  # neither "default" nor "preserve" (a warning)
    '<a:b:c/>',  # a name of two colons
    '<b :a="1"/>',  # a name of an empty prefix
    '<?xmlx?>',  # a target beginning "xml" (a warning)
    '<?a:b?>',  # a colon in a target
    '<b xmlns:xml="u"/>',  # the xml prefix rebound
    '<b xmlns:xmlns="u"/>',  # the xmlns prefix declared
    '<b xmlns:p="u" xmlns:q="u" p:a="1" q:a="1"/>',  # one attribute twice
]
# An entity nobody declared is only an error where the external subset, which
# is never read, might have declared it; past 10,000 of them the library
# takes them for a loop, and the document is not well formed.
UNDECLARED_UNITS = ['&u;', '<b v="&u;"/>']


def messages(rng, budget):
    """Per-element messages of the library's in varied mixes: a message costs
    the library its text and context line even once the program keeps no
    more of them."""
    doctype = ''
    units = list(MESSAGE_UNITS)
    if rng.random() < 0.3:
        doctype = ' SYSTEM "reference.dtd"'
        units += UNDECLARED_UNITS
    mix = rng.sample(units, rng.choice([1, 1, 2, 3, len(units)]))
    shape = rng.choice(['sequence', 'sequence', 'lines', 'one-tag', 'nested', 'devices',
                        'long-name'])
    if shape == 'one-tag':  # one tag of many attributes of undeclared prefixes
        return doctype, '<b' + attributes(rng, max(1, budget // 12), ':c') + '/>'
    if shape == 'nested':  # undeclared prefixes at every level, as deep as allowed
        depth = rng.choice([10, 100, 250])
        uses = max(1, budget // 8)
        return doctype, '<a:b>' * depth + ''.join(rng.choice(mix) for _ in range(uses)) + \
            '</a:b>' * depth
    if shape == 'devices':  # on the devices and the children the walk reads
        device = ('<device xml:id="x"><a:model value="1"/><model a:c="1" value="v"/>'
                  '<bios xmlns="rel" value="1"/>%s</device>')
        uses = max(1, budget // 100)
        return doctype, ''.join(device % rng.choice(mix) for _ in range(uses))
    if shape == 'long-name':  # long messages: each names a long element
        length = rng.choice([100, 1000, 10000, 49000])
        return doctype, ('<a:%s/>' % ('n' * length)) * max(1, budget // (length + 6))
    average = sum(len(u) for u in mix) / len(mix)
    uses = max(1, int(budget // average))
    separator = '\n' if shape == 'lines' else ''
    return doctype, separator.join(rng.choice(mix) for _ in range(uses))


def markup(rng, budget, kinds):
    """One piece of costly markup of about `budget` characters: (kind, doctype,
    body), where doctype is what follows the root's name in a DOCTYPE."""
    kind = rng.choice(kinds)
    if kind == 'attributes':  # one tag of many attributes
        return kind, '', '<x' + attributes(rng, max(1, budget // 8)) + '/>'
    if kind == 'tags':  # many tags of many attributes
        per = rng.choice([10, 100, 1000, 5000])
        tags = max(1, budget // (per * 8))
        return kind, '', ('<x' + attributes(rng, per) + '/>') * tags
    if kind == 'prefixes':  # namespace prefixes declared again at every level
        prefixes = rng.choice([10, 100, 1000])
        decl = ''.join(' xmlns:p%d="u%d"' % (i, i) for i in range(prefixes))
        levels = max(1, min(250, budget // (2 * len(decl) + 1)))
        uses = max(1, (budget - levels * len(decl)) // 8)
        return kind, '', ('<n%s>' % decl) * levels + '<p0:e/>' * uses + '</n>' * levels
    if kind == 'defaults':  # declared defaults for an element used many times
        if rng.random() < 0.3:
            # namespace declarations by default, which every element gets
            # even where other defaults are not applied: many small blocks
            prefixes = rng.choice([1, 3, 10, 30])
            dtd = '<!ATTLIST d' + ''.join(' xmlns:p%d CDATA "u%d"' % (i, i)
                                          for i in range(prefixes)) + '>'
            return kind, internal(dtd), '<d/>' * max(1, budget // 4)
        defaults = max(1, budget // 30)
        uses = rng.choice([1, 3, 100, 2000])
        dtd = '<!ATTLIST d' + ''.join(' a%d CDATA "v"' % i for i in range(defaults)) + '>'
        if rng.random() < 0.5:
            dtd = '<!ATTLIST z q CDATA "&u;">' + dtd
        return kind, internal(dtd), '<d/>' * uses
    if kind == 'entities':  # entities built from entities
        fan = rng.choice([2, 10, 100, 1000])
        depth = rng.randrange(1, 5)
        dtd = '<!ENTITY e0 "%s">' % ('x' * rng.choice([0, 1, 10, 100]))
        for level in range(1, depth + 1):
            dtd += '<!ENTITY e%d "%s">' % (level, ('&e%d;' % (level - 1)) * fan)
        uses = max(1, budget // 8)
        where = rng.random()
        if where < 0.5:
            return kind, internal(dtd), '<t>' + ('&e%d;' % depth) * uses + '</t>'
        return kind, internal(dtd), '<t v="' + ('&e%d;' % depth) * uses + '"/>'
    if kind == 'parameter':  # a tag from parameter entities
        parts = max(1, budget // 12000)
        entities = ''.join('<!ENTITY %% p%d "%s">' % (k, ''.join(
            " a%d_%d=''" % (k, i) for i in range(1000))) for k in range(parts))
        refs = ''.join('&#37;p%d;' % k for k in range(parts))
        pad = ' ' * rng.choice([0, 1000, 100000])
        return kind, internal(entities + '<!ENTITY % d "' + pad + "<!ENTITY e '&#60;x" + refs +
                              "/&#62;'>\">%d;"), '&e;'
    if kind == 'charrefs':  # an entity's tag from character references
        return kind, internal('<!ENTITY t "&#60;x' + ''.join(
            " a%d&#61;''" % i for i in range(max(1, budget // 12))) + '/&#62;">'), '&t;'
    if kind == 'long-names':
        return (kind,) + long_names(rng, budget)
    if kind == 'messages':
        return (kind,) + messages(rng, budget)
    # deep nesting and many small nodes
    depth = rng.choice([100, 1000, 10000])
    return kind, '', '<a>' * depth + '<b/>x' * max(1, budget // 5) + '</a>' * depth


KINDS = ['attributes', 'tags', 'prefixes', 'defaults', 'entities', 'parameter', 'charrefs',
         'nesting', 'long-names', 'messages']


def document(rng, kinds):
    """A document and what it is built of ("kind/encoding")."""
    size = int(2 ** rng.uniform(10, 22))
    kind, doctype, body = markup(rng, size, kinds)
    encoding = rng.choice(ENCODINGS)
    decl = '<?xml version="1.0"%s?>\n' % (' encoding="%s"' % encoding if encoding else '')
    text = decl
    if doctype:
        text += '<!DOCTYPE marvo_fchba_reference' + doctype + '>\n'
    text += '<marvo_fchba_reference><devices>' + DEVICE + body + '</devices></marvo_fchba_reference>\n'
    if encoding in (None, 'ISO-8859-1'):
        data = text.encode('latin-1')
    elif encoding == 'UTF-7':
        data = (decl + text[len(decl):].replace('=', '+AD0-')).encode('ascii')
    else:
        codec = {'UTF-16': 'utf-16', 'IBM037': 'cp037', 'UCS-4': 'utf-32-be',
                 'ISO-2022-JP': 'iso2022_jp'}[encoding]
        data = text.encode(codec)
    return data[:FILE_BOUND], '%s/%s' % (kind, encoding or 'UTF-8')


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


def standard_error(report):
    """What the program wrote to standard error: zrn-sim's section of it, which
    the line of the run's end closes."""
    start = report.find('=== standard error ===\n')
    if start < 0:
        return ''
    start += len('=== standard error ===\n')
    end = report.find('\n=== exit code: ', start)
    if end < 0:
        end = report.find('\n=== ', start)
    return report[start:end + 1] if end >= 0 else report[start:]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('build')
    parser.add_argument('--seed', type=int, default=1)
    parser.add_argument('--count', type=int, default=100)
    parser.add_argument('--kinds', default=','.join(KINDS),
                        help='the markup families to draw from, among ' + ','.join(KINDS))
    args = parser.parse_args()
    kinds = args.kinds.split(',')
    if any(kind not in KINDS for kind in kinds):
        parser.error('--kinds: each is one of ' + ','.join(KINDS))
    build = os.path.abspath(args.build)
    rng = random.Random(args.seed)
    scenario = tempfile.mkdtemp(prefix='reference-search-')
    found = 0
    # The worst of each measure: (value, the run's number, its kind, its size).
    worst = {'cpu': (0.0, -1, '', 0), 'rss': (0, -1, '', 0), 'stderr': (0, -1, '', 0)}
    outcomes = {}
    try:
        for i in range(args.count):
            data, kind = document(rng, kinds)
            code, report, cpu, rss = run(build, scenario, data)
            err = standard_error(report)
            for name, value in (('cpu', cpu), ('rss', rss), ('stderr', len(err))):
                if value > worst[name][0]:
                    worst[name] = (value, i, kind, len(data))
            refused = REFUSED in report
            outcome = 'loaded' if code == 3 else ('refused' if refused else 'failed') if code == 7 else 'other'
            outcomes[outcome] = outcomes.get(outcome, 0) + 1
            bad = (cpu > CPU_SECONDS or rss > RSS_BYTES or outcome == 'other' or
                   (code == 7 and 'Loading references...FAILED!' not in report) or
                   len(err) > STDERR_BYTES or err.count(REFUSED) > 1 or err.count(LEFT_OUT) > 1)
            print('%3d: %8d bytes  %-24s exit %3d  %-7s  %5.2f s  %4d MiB  %6d B err%s' %
                  (i, len(data), kind, code, outcome, cpu, rss >> 20, len(err),
                   '  COUNTER-EXAMPLE' if bad else ''),
                  flush=True)
            if bad:
                found += 1
                with open('reference-search-%d-%d.xml' % (args.seed, i), 'wb') as f:
                    f.write(data)
    finally:
        shutil.rmtree(scenario, ignore_errors=True)
    print('%d runs: %s; %d counter-examples' %
          (args.count, ', '.join('%s %d' % kv for kv in sorted(outcomes.items())), found))
    for name, text in (('cpu', 'most processor time %.2f s'), ('rss', 'most memory %d B'),
                       ('stderr', 'most standard error %d B')):
        value, i, kind, size = worst[name]
        print('%s (run %d, %s, %d bytes)' % (text % value, i, kind, size))
    return 1 if found else 0


if __name__ == '__main__':
    sys.exit(main())
