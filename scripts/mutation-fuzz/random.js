// A small seeded random source, so that a case can be made again from its seed.
'use strict';

// mulberry32: answers numbers in [0, 1).
function makeRng(seed) {
  let a = seed >>> 0;
  return () => {
    a = (a + 0x6D2B79F5) >>> 0;
    let t = a;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}

function pick(rng, list) {
  return list[Math.floor(rng() * list.length)];
}

function int(rng, lo, hi) {
  return lo + Math.floor(rng() * (hi - lo + 1));
}

module.exports = { makeRng, pick, int };
