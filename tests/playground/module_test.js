// The playground's module against the native programs, byte for byte:
//   node module_test.js QFMT_JS NATIVE_BUILD INPUTS_FOLDER [HEADER...]
// Each input (the golden ones, which INPUTS_FOLDER/inputs.tsv names with
// their settings, made by qfmt-test-inputs; 100 made by qfmt-gen-source and
// the headers, with settings in turn) is formatted by the
// module in each style and by the program that the style stands for: the
// modern and classic styles as qfmt-tree formats standard input in them (the
// modern style with the page's indentation unit); the exact style as qfmt
// writes its output file (or stops at a long token), and with the token
// check on, as qfmt-tree --classic --once --classic-limit.
'use strict';

const fs = require('fs');
const os = require('os');
const path = require('path');
const { spawnSync } = require('child_process');
const { createFormatter } = require('../../web/qfmt-api.js');

const [qfmtJs, nativeBuild, inputsFolder, ...headers] = process.argv.slice(2);
const SETTINGS = ['brace=attach&indent=3&length=80', 'brace=break&indent=tab&length=100',
  'brace=attach&indent=4&length=off', 'brace=break&indent=2&length=40', 'brace=attach&indent=8&length=0'];
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'qfmt-module-'));
const failures = [];
const kinds = { formatted: 0, 'stopped at a long token': 0, refused: 0 };

const settingsOf = (text) => Object.fromEntries(text.split('&').map((pair) => pair.split('=')));
const indentOf = (unit) => (unit === 'tab' ? '\t' : ' '.repeat(Number(unit)));
const lengthOf = (length) => (length === 'off' ? '2147483647' : length);

function run(program, args, input) {
  // The classic command line reads markers anywhere, in its own name too.
  const result = spawnSync(path.resolve(nativeBuild, program), args,
    { cwd: work, input, argv0: program, maxBuffer: 1 << 28 });
  if (result.error) throw result.error;
  return { status: result.status, out: result.stdout, err: result.stderr.toString() };
}

// What qfmt-tree says of standard input named x.c: {output} or {message}.
function tree(text, settings, extra) {
  const s = settingsOf(settings);
  const native = run('qfmt-tree', ['--stdin-filename', 'x.c', `--brace-style=${s.brace}`,
    `--indent=${s.indent === 'tab' ? '\\t' : indentOf(s.indent)}`, `--max-line-length=${s.length}`, ...extra], text);
  if (native.status === 0 && native.err === '') return { output: native.out };
  return { message: native.err };
}

// What qfmt writes: {output}, or {message} where it stops with status 1.
function classic(text, settings) {
  const s = settingsOf(settings);
  fs.writeFileSync(path.join(work, 'in.c'), text);
  const native = run('qfmt', ['-iin.c', '-oout.c', `-l${lengthOf(s.length)}`, `-t"${indentOf(s.indent)}"`,
    s.brace === 'attach' ? '-sk' : '-sb'], Buffer.alloc(0));
  if (native.status === 0) return { output: fs.readFileSync(path.join(work, 'out.c')) };
  return { message: native.err, status: native.status };
}

// The module's message as qfmt-tree writes it for x.c: the place of a long
// token is in the message's words.
function treeMessage(result) {
  const place = result.line > 0 && !result.message.startsWith('token longer') ? `:${result.line}:${result.column}` : '';
  return result.message.startsWith('binary file') ? `x.c: ${result.message}\n` : `x.c${place}: error: ${result.message}\n`;
}

function compare(name, style, got, expected) {
  kinds[expected.output !== undefined ? 'formatted' : expected.status === 1 ? 'stopped at a long token' : 'refused'] += 1;
  let same;
  if (expected.output !== undefined) {
    same = got.message === '' && Buffer.compare(got.output, expected.output) === 0;
  } else if (expected.status === 1) {  // qfmt stops where the module names the long token
    same = expected.message === 'L0029: PCLEX input buffer overflowed\n' &&
      got.message.startsWith('token longer than 512 bytes at line ') && got.line > 0;
  } else {
    same = expected.message === treeMessage(got);
  }
  if (!same) {
    failures.push(`${name} (${style}): module ${JSON.stringify(got.message || Buffer.from(got.output).toString().slice(0, 200))}` +
      `, native ${JSON.stringify(expected.message || expected.output.toString().slice(0, 200))}`);
  }
}

async function main() {
  const formatter = await createFormatter(require(path.resolve(qfmtJs)));
  const inputs = fs.readFileSync(path.join(inputsFolder, 'inputs.tsv'), 'utf8').trim().split('\n')
    .map((line) => line.split('\t'))
    .map(([name, settings]) => ({ name, settings, text: fs.readFileSync(path.join(inputsFolder, name)) }));
  for (let seed = 1; seed <= 100; ++seed) {
    const cpp20 = seed % 2 === 0 ? ['--cpp20'] : [];
    const text = run('qfmt-gen-source', [...cpp20, String((3000 + 97 * seed) / 1048576), String(seed)]).out;
    inputs.push({ name: `generated ${cpp20} ${seed}`, settings: SETTINGS[seed % SETTINGS.length], text });
  }
  headers.forEach((header, i) => inputs.push(
    { name: header, settings: SETTINGS[i % SETTINGS.length], text: fs.readFileSync(header) }));

  // A style's defaults as the catalogue states them are the ones it takes when none is given.
  for (const style of formatter.catalogue.styles) {
    const given = Object.entries(style.settings).map(([key, value]) => `&${key}=${value}`).join('');
    const text = inputs[0].text;
    const bare = formatter.formatBytes(text, `style=${style.name}`);
    const explicit = formatter.formatBytes(text, `style=${style.name}${given}`);
    if (bare.message !== explicit.message || Buffer.compare(bare.output, explicit.output) !== 0) {
      failures.push(`${style.name}: the catalogue's defaults differ from the style's own`);
    }
  }

  let compared = 0;
  inputs.forEach(({ name, settings, text }, i) => {
    compare(name, 'modern', formatter.formatBytes(text, `style=modern&${settings}`),
      tree(text, settings, ['--style', 'modern']));
    compare(name, 'classic', formatter.formatBytes(text, `style=classic&${settings}`),
      tree(text, settings, ['--style', 'classic']));
    const checked = i % 3 === 0;
    compare(name, checked ? 'exact, checked' : 'exact',
      formatter.formatBytes(text, `style=exact&${settings}&check=${checked ? 'on' : 'off'}`),
      checked ? tree(text, settings, ['--classic', '--once', '--classic-limit']) : classic(text, settings));
    compared += 3;
  });
  fs.rmSync(work, { recursive: true });
  console.log(`playground module: ${inputs.length} inputs (${headers.length} headers), ${compared} formattings ` +
    `compared with qfmt-tree and qfmt ` +
    `(${Object.entries(kinds).map(([kind, n]) => `${n} ${kind}`).join(', ')}): ${failures.length} differ`);
  for (const failure of failures.slice(0, 10)) console.log('  ' + failure);
  process.exit(failures.length === 0 ? 0 : 1);
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
