// Times @turf/area on the same wavy rings as bench/geodesy_bench.cpp and prints
// one line per size: vertices, microseconds per call, area in m².
import { createRequire } from "node:module";
const require = createRequire(import.meta.url);
const area = require("@turf/area").default ?? require("@turf/area").area;

function wavyRing(n) {
  const ring = [];
  for (let i = 0; i < n; ++i) {
    const angle = (2 * Math.PI * i) / n;
    const radius = 0.01 * (1 + 0.3 * Math.sin(7 * angle));
    ring.push([8.5 + radius * Math.cos(angle), 47.3 + radius * Math.sin(angle)]); // GeoJSON: lon, lat
  }
  ring.push(ring[0]); // GeoJSON rings are closed
  return { type: "Polygon", coordinates: [ring] };
}

for (const n of [1000, 1000000]) {
  const polygon = wavyRing(n);
  let sink = 0;
  for (let i = 0; i < 20; ++i) sink += area(polygon); // let the JIT settle
  const budgetNs = 2e9;
  let calls = 0;
  const start = process.hrtime.bigint();
  let elapsed = 0n;
  do {
    sink += area(polygon);
    ++calls;
    elapsed = process.hrtime.bigint() - start;
  } while (elapsed < BigInt(budgetNs));
  const perCallUs = Number(elapsed) / calls / 1000;
  console.log(`${n}\t${perCallUs.toFixed(2)}\t${area(polygon).toFixed(3)}\t${sink > 0 ? "" : "!"}`);
}
