#!/usr/bin/env python3
"""Differential test of expressions: random designs, simulated by the engine
and by Icarus Verilog, compared line by line. Run by hand, never by CI.

    scripts/expression-fuzz.py [--designs N] [--seed S] [--jobs J] [--out DIR]
    scripts/expression-fuzz.py --print SEED          # the design of one seed
    scripts/expression-fuzz.py --replay FILE.sv      # run one design both ways

Each design declares two-valued vectors of random widths (1..64), signs and
ranges ([hi:lo], [lo:hi], offset, negative), parameters and functions, then
assigns random expressions (every operator, ?:, concatenation, replication,
selects with constant and computed indices, casts, $signed/$unsigned, calls)
to whole vectors, bit and part selects and concatenations of them:
procedurally (blocking, non-blocking, compound, under if and case) and
continuously, printing each result with %0d and %0h. Nothing may read X:
indices stay in range, divisors and the bases of signed powers are or-ed
with a non-zero constant. A design whose outputs differ is shrunk (keeping
the statement that differs first) and written to the output folder.

Icarus Verilog 11 departs from the standard in places; the generator keeps
out of them, each where it does so says which. In short: unsized numbers
(it widens their expressions), string operands, ?: on a constant condition,
a select spanning a whole signed vector, casts and $signed/$unsigned of
parameters, /= %= and shifting compound assignments with a wider or signed
right side, compound assignments to computed positions, concatenated
targets whose indices read what they write, 1, -1 and all-ones bases of
negative powers, and case statements mixing signed and unsigned.

Needs build/wexla.node (scripts/build.sh) and iverilog/vvp.
"""
import argparse
import copy
import json
import multiprocessing
import os
import random
import re
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RUN_DESIGN = os.path.join(ROOT, 'tests', 'js', 'scenarios', 'run_design.js')
BANNER_LINES = 11  # the engine's console banner, with its blank line


# ---- Expression trees -------------------------------------------------------

class Node:
    """A piece of source text built from sub-trees. `show` turns the kids'
    texts into this node's text. An `expr` node is a whole expression the
    shrinker may replace; other nodes (index and divisor guards, targets)
    only pass the shrinker on to their kids."""

    def __init__(self, show, kids=(), width=1, signed=False, expr=True, reads=False):
        self.show = show
        self.kids = list(kids)
        self.width = width
        self.signed = signed
        self.expr = expr
        # Made of constants only: no variable anywhere below.
        self.constant = not reads and all(k.constant for k in self.kids)

    def text(self):
        return self.show([k.text() for k in self.kids])


def leaf(text, width, signed):
    names = re.search(r"(^|[^'\w])[A-Za-z_]", text)
    return Node(lambda _k, t=text: t, (), width, signed, reads=bool(names))


def literal(rng, width, signed):
    value = rng.getrandbits(width)
    if rng.random() < 0.3:
        value = rng.choice([0, 1, (1 << width) - 1, 1 << (width - 1)]) & ((1 << width) - 1)
    base = rng.choice('dhhb' if width <= 16 else 'dhh')
    digits = {'d': str(value), 'h': format(value, 'x'), 'b': format(value, 'b')}[base]
    return leaf("%d'%s%s%s" % (width, 's' if signed else '', base, digits), width, signed)


class Var:
    def __init__(self, name, width, signed, left, right, scalar, init, kind):
        self.name, self.width, self.signed = name, width, signed
        self.left, self.right, self.scalar = left, right, scalar
        self.init, self.kind = init, kind

    @property
    def lo(self):
        return min(self.left, self.right)

    @property
    def hi(self):
        return max(self.left, self.right)

    @property
    def descending(self):
        return self.left >= self.right

    def decl(self):
        rng = '' if self.scalar else '[%d:%d] ' % (self.left, self.right)
        sign = 'signed ' if self.signed else ''
        if self.kind == 'net':
            return 'wire %s%s%s' % (sign, rng, self.name)
        if self.kind == 'arg':
            return 'input logic %s%s%s' % (sign, rng, self.name)
        if self.kind == 'param' and self.untyped:
            # Takes the literal's type: [width-1:0], signed as it is.
            return 'localparam %s = %d\'%sh%x;' % (self.name, self.width, 's' if self.signed else '',
                                                  self.init)
        if self.kind == 'param':
            return 'localparam logic %s%s%s = %d\'h%x;' % (sign, rng, self.name, self.width,
                                                          self.init)
        return 'logic %s%s%s = %d\'h%x;' % (sign, rng, self.name, self.width, self.init)


class Function:
    def __init__(self, name, width, signed, args, body, style):
        self.name, self.width, self.signed = name, width, signed
        self.args, self.body, self.style = args, body, style

    def text(self):
        sign = 'signed ' if self.signed else ''
        head = '  function automatic logic %s[%d:0] %s(%s);' % (
            sign, self.width - 1, self.name, ', '.join(a.decl() for a in self.args))
        if self.style == 'return':
            line = '    return %s;' % self.body.text()
        else:
            line = '    %s = %s;' % (self.name, self.body.text())
        return '\n'.join([head, line, '  endfunction'])


class Gen:
    def __init__(self, rng, max_depth):
        self.rng = rng
        self.max_depth = max_depth
        self.vars = []      # variables the expressions may read
        self.index_vars = []
        self.functions = []

    # -- declarations

    def make_var(self, name, kind, width=None):
        r = self.rng
        width = width or r.choice([1, 1, 2, 3, 4, 5, 7, 8, 8, 12, 16, 16, 24, 31, 32, 32, 33, 40,
                                   48, 63, 64, 64, r.randint(1, 64)])
        scalar = width == 1 and r.random() < 0.5
        shape = r.random()
        if shape < 0.5:
            left, right = width - 1, 0
        elif shape < 0.7:
            left, right = 0, width - 1
        elif shape < 0.85:
            lo = r.randint(-8, 40)
            left, right = lo + width - 1, lo
        else:
            lo = r.randint(-8, 40)
            left, right = lo, lo + width - 1
        return Var(name, width, r.random() < 0.4, left, right, scalar,
                   r.getrandbits(width), kind)

    def make_param(self, name):
        r = self.rng
        if r.random() < 0.4:
            width = r.choice([4, 8, 16, 32, 32, 48, 64])
            v = Var(name, width, r.random() < 0.5, width - 1, 0, False, 0, 'param')
            v.init = r.getrandbits(width)
            v.untyped = True
            return v
        v = self.make_var(name, 'param')
        v.untyped = False
        return v

    def make_function(self, name):
        """A function of one to three arguments returning an expression of
        them, and the arguments it is called with."""
        r = self.rng
        args = []
        for n in range(r.randint(1, 3)):
            a = self.make_var('a%d' % n, 'arg')
            a.scalar = False
            if a.width == 1 and a.signed:
                a.signed = False
            args.append(a)
        width = r.choice([1, 4, 8, 16, 32, 33, 64, r.randint(1, 64)])
        signed = r.random() < 0.4
        index_vars, self.index_vars = self.index_vars, []
        body = self.expr(1, 64, args)
        self.index_vars = index_vars
        f = Function(name, width, signed, args, body, r.choice(['return', 'name']))
        self.functions.append(f)
        return f

    def call(self, depth, maxw, readable):
        f = self.rng.choice([f for f in self.functions if f.width <= maxw])
        args = [self.expr(depth + 1, 64, readable) for _ in f.args]
        return Node(lambda k, n=f.name: '%s(%s)' % (n, ', '.join(k)), args, f.width, f.signed,
                    reads=True)

    def make_index_var(self, name):
        r = self.rng
        signed = r.random() < 0.4
        width = r.randint(3, 8)
        value = r.randint(-(1 << (width - 1)), (1 << (width - 1)) - 1) if signed else r.randint(
            0, (1 << width) - 1)
        v = Var(name, width, signed, width - 1, 0, False, value & ((1 << width) - 1), 'index')
        v.value = value
        return v

    # -- indices

    def index(self, lo, hi, depth, readable):
        """Text of an index whose value lies in [lo, hi]: a constant, an index
        variable plus a constant, or any expression folded into the range."""
        r = self.rng
        choice = r.random()
        if choice < 0.4:
            k = leaf(str(r.randint(lo, hi)), 32, True)
            k.constant = True
            return k
        if choice < 0.7:
            want = r.randint(lo, hi)
            fits = [v for v in self.index_vars if v.signed or want >= 0]
            if fits:
                v = r.choice(fits)
                c = want - v.value
                if c == 0:
                    return leaf(v.name, v.width, v.signed)
                return leaf('(%s %s %d)' % (v.name, '+' if c > 0 else '-', abs(c)), 32, v.signed)
        e = self.expr(depth + 2, 64, readable)
        n = hi - lo + 1
        if lo >= 0:
            show = (lambda k, lo=lo, n=n: '(%d + $unsigned(%s) %% %d)' % (lo, k[0], n)) if lo else (
                lambda k, n=n: '($unsigned(%s) %% %d)' % (k[0], n))
        else:
            show = lambda k, lo=lo, n=n: '($signed($unsigned(%s) %% %d) - %d)' % (k[0], n, -lo)
        return Node(show, [e], 32, False, expr=False)

    def select(self, v, maxw, depth, readable, reading=True):
        """A bit, part or indexed part select of `v` at most `maxw` wide."""
        r = self.rng
        kind = r.random()
        # Icarus keeps the sign of a select that spans a whole signed
        # vector (a shift by it reads a negative amount): selects of signed
        # vectors leave a bit out.
        whole = v.width - 1 if v.signed and reading else v.width
        if kind < 0.35 or maxw == 1 or whole == 1:
            i = self.index(v.lo, v.hi, depth, readable)
            return Node(lambda k, n=v.name: '%s[%s]' % (n, k[0]), [i], 1, False,
                        reads=v.kind != 'param')
        pw = r.randint(1, min(maxw, whole))
        if kind < 0.6:
            a = r.randint(v.lo, v.hi - pw + 1)
            b = a + pw - 1
            msb, lsb = (b, a) if v.descending else (a, b)
            part = leaf('%s[%d:%d]' % (v.name, msb, lsb), pw, False)
            part.constant = v.kind == 'param'
            return part
        up = r.random() < 0.5
        # A write may hang over either end: only the bits inside change.
        over = 0 if reading or r.random() < 0.85 else pw - 1
        base = self.index(v.lo - over, v.hi - pw + 1 + over, depth, readable) if up else self.index(
            v.lo + pw - 1 - over, v.hi + over, depth, readable)
        part = Node(lambda k, n=v.name, up=up, pw=pw: '%s[%s %s %d]' % (n, k[0], '+:' if up else '-:', pw),
                    [base], pw, False, reads=v.kind != 'param')
        part.overhang = over > 0
        return part

    # -- expressions

    def leaf_expr(self, maxw, depth, readable, sized):
        r = self.rng
        choice = r.random()
        fits = [v for v in readable if v.width <= maxw]
        if choice < 0.4 and fits:
            v = r.choice(fits)
            n = leaf(v.name, v.width, v.signed)
            n.constant = v.kind == 'param'
            return n
        selectable = [v for v in readable if not v.scalar and (v.width > 1 or not v.signed)]
        if choice < 0.7 and selectable:
            return self.select(r.choice(selectable), maxw, depth, readable)
        # Icarus widens expressions holding unsized numbers beyond the
        # standard's widths (to lose no carry), so only their sized
        # spellings appear, and the unbased '0 and '1.
        if maxw >= 32 and r.random() < 0.3:
            k = r.random()
            if k < 0.5:
                return leaf("32'sd%d" % r.randint(0, 300), 32, True)
            if k < 0.8 or sized:
                return leaf("32'h%x" % r.getrandbits(r.choice([4, 16, 32])), 32, False)
            return leaf(r.choice(["'0", "'1"]), 1, False)
        return literal(r, r.randint(1, maxw), r.random() < 0.4)

    def nonzero(self, depth, maxw, readable, sized=False):
        """An expression that is never zero in any context: e | K."""
        e = self.expr(depth + 1, maxw, readable, sized)
        k = self.rng.randint(1, (1 << min(maxw, 8)) - 1)
        w = min(maxw, 8)
        k = leaf("%d'd%d" % (w, k), w, False)
        return Node(lambda t: '(%s | %s)' % (t[0], t[1]), [e, k], max(e.width, w), False,
                    expr=False)

    def power_base(self, depth, maxw, readable, sized):
        """A base for a signed exponent, even and never 0: 0 ** -1 is X, and
        Icarus gets 1 and -1 to a negative power wrong in a wide context and
        takes an unsigned base of all ones for -1."""
        e = self.expr(depth + 1, maxw, readable, sized)
        w = max(e.width, 2)
        sign = 's' if e.signed else ''
        two = leaf("%d'%sd2" % (w, sign), w, e.signed)
        even = leaf("%d'%sh%x" % (w, sign, ((1 << w) - 1) & ~1), w, e.signed)
        return Node(lambda t: '((%s | %s) & %s)' % tuple(t), [e, two, even], w, e.signed,
                    expr=False)

    def expr(self, depth, maxw, readable, sized=False):
        r = self.rng
        if depth >= self.max_depth or r.random() < 0.12 + 0.1 * depth:
            return self.leaf_expr(maxw, depth, readable, sized)
        d = depth + 1
        choice = r.random()
        if choice < 0.12:
            op = r.choice(['-', '~', '+', '-', '~'])
            e = self.expr(d, maxw, readable, sized)
            return Node(lambda k, op=op: '%s(%s)' % (op, k[0]), [e], e.width, e.signed)
        if choice < 0.2:
            op = r.choice(['!', '&', '|', '^', '~&', '~|', '~^', '^~'])
            e = self.expr(d, 64, readable, sized)
            return Node(lambda k, op=op: '%s(%s)' % (op, k[0]), [e], 1, False)
        if choice < 0.42:
            op = r.choice(['+', '-', '*', '&', '|', '^', '~^', '^~', '+', '-', '*', '/', '%'])
            a = self.expr(d, maxw, readable, sized)
            b = self.nonzero(d, maxw, readable, sized) if op in '/%' else self.expr(d, maxw, readable, sized)
            return Node(lambda k, op=op: '(%s %s %s)' % (k[0], op, k[1]), [a, b], max(a.width, b.width),
                        a.signed and b.signed)
        if choice < 0.54:
            op = r.choice(['==', '!=', '===', '!==', '<', '<=', '>', '>=', '==', '<', '<->', '&&', '||',
                           '==?', '!=?'])
            a = self.expr(d, 64, readable, sized)
            if op in ('==?', '!=?'):
                w = max(1, min(a.width, 16))
                bits = ''.join(r.choice('0101?xz') for _ in range(w))
                b = leaf("%d'b%s" % (w, bits), w, False)
                b.expr = False  # its X and Z bits must stay where they mean "any"
            else:
                b = self.expr(d, 64, readable, sized)
            return Node(lambda k, op=op: '(%s %s %s)' % (k[0], op, k[1]), [a, b], 1, False)
        if choice < 0.64:
            op = r.choice(['<<', '>>', '<<<', '>>>'])
            a = self.expr(d, maxw, readable, sized)
            b = self.expr(d, 64, readable, sized)
            return Node(lambda k, op=op: '(%s %s %s)' % (k[0], op, k[1]), [a, b], a.width, a.signed)
        if choice < 0.68:
            b = self.expr(d, 8, readable, sized)
            if b.signed and maxw < 2:  # no room for an even base
                b = Node(lambda k: '$unsigned(%s)' % k[0], [b], b.width, False, expr=False)
            a = self.power_base(d, maxw, readable, sized) if b.signed else self.expr(
                d, maxw, readable, sized)
            return Node(lambda k: '(%s ** %s)' % (k[0], k[1]), [a, b], a.width, a.signed)
        if choice < 0.78:
            c = self.expr(d, 64, readable, sized)
            if c.constant:
                # Icarus folds c ? a : b on a constant c into the arm it
                # picks, keeping that arm's sign where the whole is unsigned.
                v = r.choice([v for v in readable if v.kind != 'param'])
                c = leaf(v.name, v.width, v.signed)
            c.condition = True  # the shrinker leaves it variable
            a = self.expr(d, maxw, readable, sized)
            b = self.expr(d, maxw, readable, sized)
            return Node(lambda k: '(%s ? %s : %s)' % tuple(k), [c, a, b], max(a.width, b.width),
                        a.signed and b.signed)
        if choice < 0.88:
            n = r.randint(1, 4)
            kids = []
            left = maxw
            for i in range(n):
                if left - (n - i - 1) < 1:
                    break
                e = self.expr(d, left - (n - i - 1), readable, True)
                kids.append(e)
                left -= e.width
            if not kids:
                return self.leaf_expr(maxw, depth, readable, sized)
            return Node(lambda k: '{%s}' % ', '.join(k), kids, sum(e.width for e in kids), False)
        if choice < 0.92 and maxw >= 2:
            n = r.randint(1, min(4, maxw))
            e = self.expr(d, maxw // n, readable, True)
            return Node(lambda k, n=n: '{%d{%s}}' % (n, k[0]), [e], n * e.width, False)
        if choice < 0.935 and any(f.width <= maxw for f in self.functions):
            return self.call(d, maxw, readable)
        if choice < 0.95:
            n = r.randint(1, maxw)
            e = self.expr(d, 64, readable, sized)
            if e.constant and re.search(r'\bP\d', e.text()):
                # Icarus folds such a cast of a signed parameter unsigned.
                return self.leaf_expr(maxw, depth, readable, sized)
            return Node(lambda k, n=n: "%d'(%s)" % (n, k[0]), [e], n, e.signed)
        fn = r.choice(['$signed', '$unsigned'])
        e = self.expr(d, maxw, readable, sized)
        if e.constant and re.search(r'\bP\d', e.text()):
            return e  # Icarus folds these on a parameter with the wrong sign
        return Node(lambda k, fn=fn: '%s(%s)' % (fn, k[0]), [e], e.width, fn == '$signed')

    def case(self, readable):
        """The parts of a case statement (see case_text). Icarus extends a
        signed case expression by its sign even where an unsigned label
        makes the comparison unsigned (and sees through $unsigned): the
        selector and labels are unsigned names and constants, or all signed."""
        r = self.rng
        keyword = r.choice(['case', 'case', 'casez', 'casex'])
        signed = [v for v in readable if v.signed and v.kind != 'param']
        all_signed = keyword == 'case' and signed and r.random() < 0.3
        if all_signed:
            v = r.choice(signed)
            sel = leaf(v.name, v.width, True)
        else:
            unsigned = [v for v in readable if not v.signed and v.kind != 'param']
            selectable = [v for v in readable if not v.scalar and (v.width > 1 or not v.signed)]
            if unsigned and r.random() < 0.5:
                v = r.choice(unsigned)
                sel = leaf(v.name, v.width, False)
            else:
                sel = self.select(r.choice(selectable), r.choice([1, 2, 3, 4, 8, 64]), 1, readable)
        sel.expr = False
        labels, bodies, arms = [], [], []
        names = [v for v in readable if v.signed == bool(all_signed) and (v.signed or not v.scalar)]
        for _ in range(r.randint(1, 4)):
            count = r.randint(1, 2)
            for _ in range(count):
                if r.random() < 0.2 and names:
                    v = r.choice(names)
                    k = leaf(v.name, v.width, v.signed)
                elif keyword == 'case':
                    k = literal(r, r.randint(1, 8), bool(all_signed))
                else:
                    w = r.randint(1, 8)
                    wild = '?z' if keyword == 'casez' else '?zx'
                    bits = ''.join(r.choice('01' + wild) if r.random() < 0.3 else r.choice('01')
                                   for _ in range(w))
                    k = leaf("%d'b%s" % (w, bits), w, False)
                k.expr = False
                labels.append(k)
            arms.append(count)
            bodies.append(self.expr(0, 64, readable))
        if r.random() < 0.6:
            arms.append(0)
            bodies.append(self.expr(0, 64, readable))
        node = Node(None, [sel] + labels + bodies, expr=False)
        node.keyword, node.arms = keyword, arms
        return node

    # -- targets

    def target_piece(self, v, depth, readable, whole_ok=True):
        r = self.rng
        if whole_ok and (v.scalar or r.random() < 0.5):
            return leaf(v.name, v.width, v.signed)
        if v.scalar:
            return leaf(v.name, v.width, v.signed)
        return self.select(v, 64, depth + 1, readable, reading=False)

    def target(self, writable, readable, total_limit=64):
        r = self.rng
        if r.random() < 0.2 and len(writable) >= 2:
            pieces, written = [], []
            width = 0
            chosen = r.sample(writable, r.randint(2, min(3, len(writable))))
            # Icarus writes the parts one by one, reading later indices
            # after earlier parts changed (and the nets that follow them):
            # indices read neither these variables nor any net.
            others = [v for v in readable if v not in chosen and v.kind != 'net']
            for v in chosen:
                p = self.target_piece(v, 2, others)
                if width + p.width > total_limit:
                    continue
                p.expr = False
                pieces.append(p)
                written.append(v)
                width += p.width
            if len(pieces) >= 2:
                return Node(lambda k: '{%s}' % ', '.join(k), pieces, width, False, expr=False), written
        v = r.choice(writable)
        p = self.target_piece(v, 2, readable)
        p.expr = False
        return p, [v]


# ---- Designs ----------------------------------------------------------------

def case_text(node, target):
    """A case statement: node.kids holds the selector, the labels, then one
    right side an arm; node.arms the number of labels of each arm (0 for
    default)."""
    texts = [k.text() for k in node.kids]
    out = ['%s (%s)' % (node.keyword, texts[0])]
    labels = 1
    bodies = 1 + sum(node.arms)
    for count in node.arms:
        head = ', '.join(texts[labels:labels + count]) if count else 'default'
        out.append('      %s: %s = %s;' % (head, target, texts[bodies]))
        labels += count
        bodies += 1
    out.append('    endcase')
    return '\n'.join(out)


class Item:
    """One statement (or continuous assignment) and what it prints."""

    def __init__(self, kind, target=None, op='=', expr=None, shows=(), fmt='%0d %0h'):
        self.kind = kind        # 'proc', 'nba', 'show', 'assign', 'netdecl'
        self.target = target
        self.op = op
        self.expr = expr
        self.shows = list(shows)  # names printed after it
        self.fmt = fmt

    def roots(self):
        return [n for n in (self.target, self.expr) if n is not None]


class Design:
    def __init__(self):
        self.vars = []
        self.nets = []
        self.cont = []   # continuous assignments
        self.items = []  # procedural statements, in order
        self.functions = []

    def text(self):
        out = ['module top;']
        for v in self.vars:
            out.append('  ' + v.decl())
        for f in self.functions:
            out.append(f.text())
        declared = {i.target.text() for i in self.cont if i.kind == 'netdecl'}
        for n in self.nets:
            if n.name not in declared:
                out.append('  ' + n.decl() + ';')
        for i in self.cont:
            if i.kind == 'netdecl':
                net = next(n for n in self.nets if n.name == i.target.text())
                out.append('  %s = %s;' % (net.decl(), i.expr.text()))
            else:
                out.append('  assign %s = %s;' % (i.target.text(), i.expr.text()))
        out.append('  initial begin')
        out.append('    #1;')
        for n in self.nets:
            out.append('    $display("%s %%0d %%0h", %s, %s);' % (n.name, n.name, n.name))
        for number, i in enumerate(self.items):
            label = 'S%d' % i.number
            if i.kind == 'show':
                out.append('    #1 $display("%s %s", %s);' % (label, i.fmt, i.expr.text()))
                continue
            if i.kind == 'if':
                c, a, b = (k.text() for k in i.expr.kids)
                t = i.target.text()
                stmt = 'if (%s) %s = %s; else %s = %s;' % (c, t, a, t, b)
            elif i.kind == 'case':
                stmt = case_text(i.expr, i.target.text())
            else:
                stmt = '%s %s %s;' % (i.target.text(), i.op, i.expr.text())
            if i.kind == 'nba':
                out.append('    #1 %s' % stmt)
                out.append('    #1;')
            else:
                out.append('    #1 %s' % stmt)
            for name in i.shows:
                out.append('    $display("%s %s %%0d %%0h", %s, %s);' % (label, name, name, name))
        out.append('    #1;')
        for n in self.nets:
            out.append('    $display("%s %%0d %%0h", %s, %s);' % (n.name, n.name, n.name))
        out.append('  end')
        out.append('endmodule')
        return '\n'.join(out) + '\n'

    def expression_count(self):
        return len(self.cont) + len(self.items)


def make_design(seed, statements=40, max_depth=5):
    r = random.Random(seed)
    g = Gen(r, max_depth)
    d = Design()
    g.index_vars = [g.make_index_var('i%d' % n) for n in range(r.randint(2, 4))]
    pool = [g.make_var('v%d' % n, 'var') for n in range(r.randint(4, 9))]
    params = [g.make_param('P%d' % n) for n in range(r.randint(0, 3))]
    d.vars = g.index_vars + pool + params
    readable = pool + g.index_vars + params
    d.functions = [g.make_function('f%d' % n) for n in range(r.randint(0, 2))]
    # Nets: each driven whole, or in pieces that together cover it.
    for n in range(r.randint(1, 4)):
        net = g.make_var('n%d' % n, 'net')
        d.nets.append(net)
        if net.scalar or net.width < 2 or r.random() < 0.6:
            kind = 'netdecl' if r.random() < 0.3 else 'assign'
            d.cont.append(Item(kind, leaf(net.name, net.width, net.signed), '=',
                               g.expr(0, 64, readable)))
        else:
            cut = r.randint(net.lo + 1, net.hi)
            for lo, hi in ((net.lo, cut - 1), (cut, net.hi)):
                msb, lsb = (hi, lo) if net.descending else (lo, hi)
                t = leaf('%s[%d:%d]' % (net.name, msb, lsb), hi - lo + 1, False)
                t.expr = False
                d.cont.append(Item('assign', t, '=', g.expr(0, 64, readable)))
        readable = readable + [net]
    compound = ['+=', '-=', '*=', '/=', '%=', '&=', '|=', '^=', '<<=', '>>=', '<<<=', '>>>=']
    for _ in range(statements):
        kind = r.random()
        if kind < 0.15:
            d.items.append(Item('show', expr=g.expr(0, 64, readable),
                                fmt=r.choice(['%0d', '%0h'])))
            continue
        target, written = g.target(pool, readable)
        if kind < 0.25:
            d.items.append(Item('if', target, '=', Node(None, [
                g.expr(0, 64, readable), g.expr(0, 64, readable), g.expr(0, 64, readable)],
                expr=False), [v.name for v in written]))
            continue
        if kind < 0.35:
            d.items.append(Item('case', target, '=', g.case(readable), [v.name for v in written]))
            continue
        kind, op = 'proc', '='
        # Icarus gets compound assignments to a select at a computed
        # position wrong once an earlier statement used || (its index
        # state leaks): only constant positions take them.
        fixed = all(k.constant for k in target.kids) and not getattr(target, 'overhang', False)
        if len(written) == 1 and fixed and r.random() < 0.2:
            op = r.choice(compound)
        elif r.random() < 0.12:
            kind, op = 'nba', '<='
        # Icarus divides at the target's width in /= and %=, truncating a
        # wider divisor first: keep the divisor no wider than the target.
        # Shift amounts in <<= and the like are truncated to the target's
        # width and read as signed there: unsigned and no wider, then.
        if op in ('/=', '%='):
            e = g.nonzero(0, target.width, readable)
        elif op in ('<<=', '>>=', '<<<=', '>>>='):
            e = Node(lambda k: '$unsigned(%s)' % k[0], [g.expr(0, target.width, readable)],
                     expr=False)
        elif r.random() < 0.03:
            # Icarus reads a string operand's bits wrong: strings only copied.
            n = r.randint(1, 8)
            e = leaf('"%s"' % ''.join(r.choice('abcXYZ019 _-') for _ in range(n)), 8 * n, False)
        else:
            e = g.expr(0, 64, readable)
        d.items.append(Item(kind, target, op, e, [v.name for v in written]))
    for number, item in enumerate(d.items):
        item.number = number  # its label, kept while the shrinker works
    return d


# ---- Running ----------------------------------------------------------------

def run_icarus(path, work):
    exe = os.path.join(work, 'sim')
    c = subprocess.run(['iverilog', '-g2012', '-o', exe, path], capture_output=True, text=True)
    if c.returncode != 0:
        return None, c.stderr
    v = subprocess.run(['vvp', '-n', exe], capture_output=True, text=True, cwd=work, timeout=60)
    if v.returncode != 0:
        return None, 'vvp failed: ' + v.stderr
    lines = [l for l in v.stdout.split('\n')
             if not re.match(r'^\S+:\d+: \$finish called at', l) and not l.startswith('VCD ')]
    return '\n'.join(lines), v.stderr


def run_engine(path, work):
    try:
        run = subprocess.run(['node', RUN_DESIGN, path], cwd=work, capture_output=True, text=True,
                             timeout=120)
    except subprocess.TimeoutExpired:
        return None, 'timeout'
    left_out = [l for l in run.stderr.split('\n') if l.startswith('[MODEL]')]
    if left_out:
        return None, 'not modelled: %s' % left_out[0]
    result_path = os.path.join(work, 'result.json')
    if not os.path.exists(result_path):
        return None, 'no result'
    r = json.load(open(result_path))
    if r.get('compiled') != 200 or not r.get('success'):
        return None, 'compiled=%s success=%s error=%s' % (r.get('compiled'), r.get('success'),
                                                          r.get('error'))
    if r.get('notModelled'):
        return None, 'not modelled: %s' % r['notModelled']
    console = (r.get('console') or '').split('\n')
    return '\n'.join(console[BANNER_LINES:]), ''


UNKNOWN = re.compile(r'(^|\s)-?[0-9a-fA-F]*[xXzZ][0-9a-fA-FxXzZ]*(\s|$)')


def compare(text):
    """('same' | 'differ' | 'invalid', details) for one design's source."""
    with tempfile.TemporaryDirectory(prefix='xfuzz') as work:
        path = os.path.join(work, 'd.sv')
        with open(path, 'w') as f:
            f.write(text)
        ref, err = run_icarus(path, work)
        if ref is None:
            return 'invalid', 'icarus: ' + err.strip()[:500]
        if UNKNOWN.search(ref):
            return 'invalid', 'icarus printed an unknown value'
        got, err = run_engine(path, work)
        if got is None:
            return 'invalid', 'engine: ' + err[:500]
        if got == ref:
            return 'same', (ref.count('\n'), '')
        ref_lines, got_lines = ref.split('\n'), got.split('\n')
        for n in range(max(len(ref_lines), len(got_lines))):
            a = ref_lines[n] if n < len(ref_lines) else '<none>'
            b = got_lines[n] if n < len(got_lines) else '<none>'
            if a != b:
                return 'differ', 'line %d: icarus %r, engine %r' % (n + 1, a, b), a.split(' ')[0]
        return 'differ', '', ''


# ---- Shrinking --------------------------------------------------------------

def nodes_of(node, path=()):
    yield path, node
    for i, k in enumerate(node.kids):
        yield from nodes_of(k, path + (i,))


def replaced(root, path, new):
    if not path:
        return new
    root = copy.copy(root)
    root.kids = list(root.kids)
    root.kids[path[0]] = replaced(root.kids[path[0]], path[1:], new)
    return root


def shrink(design, budget=600):
    """A smaller design whose outputs still differ."""
    calls = [0]

    first = compare(design.text())
    if first[0] != 'differ':
        return design

    def differs(d):
        """Still differs, first where it first differed: on the same
        statement, not on one the shrinking broke elsewhere."""
        calls[0] += 1
        verdict = compare(d.text())
        return verdict[0] == 'differ' and verdict[2] == first[2]

    def drop_pieces(d, attr):
        """Leaves out runs of statements, long runs first."""
        changed = False
        size = max(1, len(getattr(d, attr)) // 2)
        while size >= 1 and calls[0] < budget:
            i = 0
            while i < len(getattr(d, attr)) and calls[0] < budget:
                trial = copy.copy(d)
                items = getattr(d, attr)
                setattr(trial, attr, items[:i] + items[i + size:])
                if differs(trial):
                    d, changed = trial, True
                else:
                    i += size
            size //= 2
        return d, changed

    def drop_nets(d):
        changed = False
        for net in list(d.nets):
            if calls[0] >= budget:
                break
            trial = copy.copy(d)
            trial.nets = [n for n in d.nets if n is not net]
            trial.cont = [i for i in d.cont if not re.match(r'%s\b' % net.name, i.target.text())]
            if differs(trial):
                d, changed = trial, True
        return d, changed

    def simplify(d):
        """Puts a kid (no wider) or a constant in place of each node."""
        changed = False
        for item in d.items + d.cont:
            for attr in ('expr', 'target'):
                if getattr(item, attr) is None:
                    continue
                path_index = 0
                while calls[0] < budget:
                    nodes = list(nodes_of(getattr(item, attr)))
                    if path_index >= len(nodes):
                        break
                    path, node = nodes[path_index]
                    path_index += 1
                    if not node.expr or not node.kids:
                        continue
                    options = [k for k in node.kids if k.expr and k.width <= node.width]
                    options.append(leaf("%d'd1" % node.width, node.width, False))
                    if getattr(node, 'condition', False):
                        options = [k for k in options if not k.constant]
                        for k in options:
                            k.condition = True
                    old = getattr(item, attr)
                    for new in options:
                        setattr(item, attr, replaced(old, path, new))
                        if differs(d):
                            changed = True
                            path_index -= 1  # look at what took its place
                            break
                        setattr(item, attr, old)
        return d, changed

    d = copy.deepcopy(design)
    changed = True
    while changed and calls[0] < budget:
        changed = False
        for step in (lambda d: drop_pieces(d, 'items'), lambda d: drop_pieces(d, 'cont'), drop_nets,
                     simplify):
            d, c = step(d)
            changed = changed or c
    # Declarations nobody uses.
    for f in list(d.functions):
        body = d.text().replace(f.text(), '')
        if not re.search(r'\b%s\b' % f.name, body):
            d.functions = [x for x in d.functions if x is not f]
    for v in list(d.vars):
        body = d.text().replace(v.decl(), '')
        if not re.search(r'\b%s\b' % v.name, body):
            d.vars = [x for x in d.vars if x is not v]
    return d


# ---- Driver -----------------------------------------------------------------

def check_seed(args):
    seed, statements, depth = args
    design = make_design(seed, statements, depth)
    verdict, details = compare(design.text())[:2]
    return seed, verdict, details, design.expression_count()


def main():
    p = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    p.add_argument('--designs', type=int, default=200)
    p.add_argument('--seed', type=int, default=1)
    p.add_argument('--jobs', type=int, default=3)
    p.add_argument('--statements', type=int, default=40)
    p.add_argument('--depth', type=int, default=5)
    p.add_argument('--out', default=os.path.join(tempfile.gettempdir(), 'expression-fuzz'))
    p.add_argument('--no-shrink', action='store_true')
    p.add_argument('--print', type=int, metavar='SEED', help='print the design of one seed')
    p.add_argument('--replay', metavar='FILE', help='compare one design file')
    a = p.parse_args()

    if a.print is not None:
        sys.stdout.write(make_design(a.print, a.statements, a.depth).text())
        return 0
    if a.replay:
        print(*compare(open(a.replay).read()))
        return 0

    os.makedirs(a.out, exist_ok=True)
    seeds = [(s, a.statements, a.depth) for s in range(a.seed, a.seed + a.designs)]
    counts = {'same': 0, 'differ': 0, 'invalid': 0}
    expressions = lines = 0
    failing = []
    with multiprocessing.Pool(a.jobs) as pool:
        for seed, verdict, details, n in pool.imap_unordered(check_seed, seeds):
            counts[verdict] += 1
            if verdict == 'same':
                expressions += n
                lines += details[0]
            elif verdict == 'differ':
                failing.append(seed)
                print('seed %d differs: %s' % (seed, details), flush=True)
            else:
                print('seed %d invalid: %s' % (seed, details), flush=True)
    print('%d designs: %d agree (%d expressions, %d lines), %d differ, %d invalid' % (
        a.designs, counts['same'], expressions, lines, counts['differ'], counts['invalid']))
    if not a.no_shrink:
        for seed in sorted(failing):
            small = shrink(make_design(seed, a.statements, a.depth))
            text = small.text()
            path = os.path.join(a.out, 'seed%d.sv' % seed)
            with open(path, 'w') as f:
                f.write(text)
            print('--- seed %d, shrunk to %s: %s' % (seed, path, compare(text)[1]))
            print(text)
    return 1 if failing else 0


if __name__ == '__main__':
    sys.exit(main())
