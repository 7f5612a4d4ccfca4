// Reads every ```mermaid block of the Markdown files named on the command
// line with Mermaid's own parser, the release pinned here and the 10.x line
// that older renderers run, and checks that each read what the block says:
// as many entities and relationships as it declares (a name Mermaid splits in
// two, or a line it swallows, parses without an error).
// Exit status: 0 every block reads, 1 one does not, 2 trouble.
// usage: node check.mjs FILE.md ...

import fs from 'node:fs';
import { JSDOM } from 'jsdom';

// Mermaid's sanitiser wants a DOM even where the parser alone runs.
const dom = new JSDOM('<!doctype html><html><body></body></html>', { pretendToBeVisual: true });
globalThis.window = dom.window;
globalThis.document = dom.window.document;

const parsers = [];
for (const name of ['mermaid', 'mermaid10']) {
  const mermaid = (await import(name)).default;
  mermaid.initialize({ startOnLoad: false });
  parsers.push({ name, mermaid });
}

// Mermaid's own limit: a longer diagram is drawn as an error message.
const maxTextSize = 50000;

function blocks(text) {
  const found = [];
  const lines = text.split('\n');
  for (let i = 0; i < lines.length; i++) {
    if (lines[i] !== '```mermaid')
      continue;
    const start = i + 1;
    let end = start;
    while (end < lines.length && !/^ {0,3}`{3,}\s*$/.test(lines[end]))
      end++;
    found.push({ line: start, text: lines.slice(start, end).join('\n') + '\n', closed: end < lines.length });
    i = end;
  }
  return found;
}

function declared(text) {
  const lines = text.split('\n');
  return {
    entities: lines.filter(l => /^\s+\w+\[".*"\] \{$/.test(l)).length,
    relationships: lines.filter(l => /^\s+\w+ \|\|(--|\.\.)o\{ \w+ : ".*"$/.test(l)).length,
  };
}

function entityCount(db) {
  const entities = db.getEntities();
  return entities instanceof Map ? entities.size : Object.keys(entities).length;
}

let failed = 0;
let read = 0;
for (const file of process.argv.slice(2)) {
  let text;
  try {
    text = fs.readFileSync(file, 'utf8');
  } catch (e) {
    console.error(`check.mjs: ${file}: ${e.message}`);
    process.exit(2);
  }
  for (const block of blocks(text)) {
    read++;
    const where = `${file}:${block.line}`;
    const problems = [];
    if (!block.closed)
      problems.push('the fence is never closed');
    if (block.text.length > maxTextSize)
      problems.push(`${block.text.length} characters, more than Mermaid draws (${maxTextSize})`);
    const expected = declared(block.text);
    for (const { name, mermaid } of parsers) {
      try {
        const diagram = await mermaid.mermaidAPI.getDiagramFromText(block.text);
        const entities = entityCount(diagram.db);
        const relationships = diagram.db.getRelationships().length;
        if (entities !== expected.entities || relationships !== expected.relationships)
          problems.push(`${name}: read ${entities} entities and ${relationships} relationships, ` +
                        `the block declares ${expected.entities} and ${expected.relationships}`);
      } catch (e) {
        problems.push(`${name}: ${String(e?.message ?? e).split('\n').join(' ')}`);
      }
    }
    if (problems.length) {
      failed++;
      console.error(`FAIL ${where}\n  ${problems.join('\n  ')}`);
    }
  }
}
console.log(`${read - failed} of ${read} Mermaid blocks read`);
process.exit(failed ? 1 : 0);
