// Times @turf/area on the same wavy rings as bench/geodesy_bench.cpp and prints one
// line per size: vertices, wall µs per call, CPU µs per call, area in m².
// Usage: node bench/turf_area.mjs [SECONDS_PER_SIZE] [SIZE...]
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

const seconds = Number(process.argv[2] ?? 2);
const sizes = process.argv.length > 3 ? process.argv.slice(3).map(Number) : [10, 1000, 1000000];
for (const n of sizes) {
  const polygon = wavyRing(n);
  let sink = 0;
  for (let i = 0; i < Math.max(20, 2e6 / n); ++i) sink += area(polygon); // let the JIT settle
  const budgetNs = BigInt(Math.round(seconds * 1e9));
  let calls = 0;
  const cpuStart = process.cpuUsage();
  const start = process.hrtime.bigint();
  let elapsed = 0n;
  do {
    sink += area(polygon);
    ++calls;
    elapsed = process.hrtime.bigint() - start;
  } while (elapsed < budgetNs);
  const cpu = process.cpuUsage(cpuStart);
  const wallUs = Number(elapsed) / calls / 1000;
  const cpuUs = (cpu.user + cpu.system) / calls;
  console.log(`${n}\t${wallUs.toFixed(4)}\t${cpuUs.toFixed(4)}\t${area(polygon).toFixed(3)}${sink > 0 ? "" : "\t!"}`);
}
