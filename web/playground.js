// The playground page: the input formatted as it is typed, in the styles and
// with the settings that qfmt.js describes (the page names no style, and no
// setting but the line length, for its rule), kept with the input in the
// page's address so that a link reproduces the case.
(function () {
  'use strict';

  const SAMPLE = `/* A sample: edit it, or paste your own code. */
#include <stdio.h>
struct point{int x;int y;};
static int distance(struct point a,struct point b){int dx=a.x-b.x,dy=a.y-b.y;
if(dx<0)dx=-dx;if (dy<0) dy = -dy;
return dx+dy;}
int main(void){struct point p={1,2},q={4,6};
switch(distance(p,q)){case 0:puts("the same point");break;
default:printf("%d apart\\n",distance(p,q));}
return 0;}
`;
  const TYPING_PAUSE_MS = 150;
  const DIFF_CONTEXT = 3;
  const MAX_DIFF_EDITS = 2000;

  const element = (id) => document.getElementById(id);
  const form = element('settings');
  const input = element('input');
  const gutter = element('gutter');
  const output = element('output');
  const diff = element('diff');
  const message = element('message');
  const status = element('status');
  const encoder = new TextEncoder();
  const decoder = new TextDecoder();

  let formatter;
  let style;           // the chosen style, as the catalogue describes it
  const chosen = {};   // the values the user chose, by setting key, kept across styles
  let notice = '';     // what the address held that the page could not take
  let last = null;     // the last result, with its input
  let timer = 0;
  let written = '';    // the address the page last wrote

  // Settings, as the module reads them and as the address keeps them.

  const valueOf = (key) => (key in chosen ? chosen[key] : style.settings[key]);

  function settingPairs() {
    return [['style', style.name], ...Object.keys(style.settings).map((key) => [key, valueOf(key)])];
  }

  const settingsText = () => settingPairs().map(([key, value]) => key + '=' + value).join('&');

  // The input travels as base64url of its UTF-8 bytes.
  function encodeCode(text) {
    const bytes = encoder.encode(text);
    let binary = '';
    for (let i = 0; i < bytes.length; i += 0x8000) {
      binary += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    }
    return btoa(binary).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
  }

  function decodeCode(code) {
    const binary = atob(code.replace(/-/g, '+').replace(/_/g, '/'));
    return decoder.decode(Uint8Array.from(binary, (c) => c.charCodeAt(0)));
  }

  function writeAddress() {
    const params = new URLSearchParams(settingPairs());
    params.set('code', encodeCode(input.value));
    written = '#' + params.toString();
    if (location.hash !== written) history.replaceState(null, '', written);
  }

  function readAddress() {
    const params = new URLSearchParams(location.hash.slice(1));
    const styles = formatter.catalogue.styles;
    const named = params.get('style');
    style = styles.find((s) => s.name === named) || styles[0];
    notice = named !== null && style.name !== named
      ? `This page offers no style '${named}': the link is shown in the ${style.label} style.` : '';
    for (const key of Object.keys(chosen)) delete chosen[key];
    for (const [key, value] of params) {
      if (key in formatter.catalogue.settings) chosen[key] = value;
    }
    let code = SAMPLE;
    try {
      if (params.has('code')) code = decodeCode(params.get('code'));
    } catch (error) {
      notice = 'The link\'s code could not be read: the sample is shown.';
    }
    input.value = code;
    showSettings();
  }

  // The controls, made from the catalogue once.

  function makeControl(key, setting) {
    const label = document.createElement('label');
    label.dataset.key = key;
    label.append(setting.label + ' ');
    let control;
    if (setting.kind === 'choice') {
      control = document.createElement('select');
      for (const [value, text] of setting.choices) control.add(new Option(text, value));
    } else if (setting.kind === 'switch') {
      control = document.createElement('input');
      control.type = 'checkbox';
    } else {
      control = document.createElement('input');
      control.type = 'text';
      control.inputMode = 'numeric';
      control.pattern = '[0-9]+|off';
      control.title = 'a whole number, or off';
    }
    control.name = key;
    label.append(control);
    form.append(label);
  }

  function showSettings() {
    form.elements.namedItem('style').value = style.name;
    element('summary').textContent = style.summary;
    for (const label of form.querySelectorAll('label[data-key]')) {
      const key = label.dataset.key;
      label.hidden = !(key in style.settings);
      if (label.hidden) continue;
      const control = form.elements.namedItem(key);
      if (control.type === 'checkbox') {
        control.checked = valueOf(key) === 'on';
      } else {
        control.value = valueOf(key);
      }
    }
  }

  function onSettingChanged(event) {
    const control = event.target;
    if (control.name === 'style') {
      style = formatter.catalogue.styles.find((s) => s.name === control.value);
      notice = '';
      showSettings();
    } else {
      chosen[control.name] = control.type === 'checkbox' ? (control.checked ? 'on' : 'off') : control.value.trim();
    }
    run();
  }

  // Formatting and showing the result.

  function run() {
    clearTimeout(timer);
    const text = input.value;
    const started = performance.now();
    let result;
    try {
      result = formatter.format(text, settingsText());
    } catch (error) {
      result = { output: '', message: `The formatter failed (${error.message}); reload the page.`, line: 0, column: 0 };
    }
    last = { ...result, input: text, milliseconds: performance.now() - started };
    writeAddress();
    showResult();
  }

  function showResult() {
    const failed = last.message !== '';
    showGutter(failed ? last.line : 0);
    message.hidden = !failed && notice === '';
    message.textContent = failed
      ? (last.line > 0 ? `line ${last.line}, column ${last.column}: ` : '') + last.message : notice;
    output.classList.toggle('empty', failed);
    output.textContent = failed ? 'No output: see the message below.' : last.output;
    const length = Number(valueOf('length'));
    const guided = 'length' in style.settings && Number.isInteger(length) && length > 0;
    output.classList.toggle('guided', guided);
    if (guided) output.style.setProperty('--guide', length + 'ch');
    status.textContent = failed ? '' : (last.output === last.input ? 'already formatted, ' : '') +
      `${last.milliseconds.toFixed(1)} ms`;
    if (!diff.hidden) showDiff();
  }

  function showGutter(errorLine) {
    const lines = input.value.split('\n').length;
    let html = '';
    for (let n = 1; n <= lines; ++n) html += n === errorLine ? `<span class="error">${n}</span>\n` : n + '\n';
    gutter.innerHTML = html;
    gutter.scrollTop = input.scrollTop;
  }

  // Selects the place that the message names: its column counts bytes.
  function selectMessagePlace() {
    if (last === null || last.line === 0) return;
    const lines = input.value.split('\n');
    let offset = 0;
    for (let i = 0; i < last.line - 1 && i < lines.length; ++i) offset += lines[i].length + 1;
    const bytes = encoder.encode(lines[last.line - 1] || '');
    offset += decoder.decode(bytes.subarray(0, last.column - 1)).length;
    input.focus();
    input.setSelectionRange(offset, offset + 1);
    const lineHeight = input.scrollHeight / Math.max(lines.length, 1);
    input.scrollTop = Math.max(0, (last.line - 4) * lineHeight);
  }

  // The diff: Myers' shortest edit script over lines, with a few lines of
  // context around each change.

  function editScript(a, b) {
    const max = Math.min(a.length + b.length, MAX_DIFF_EDITS);
    const offset = max + 1;
    const v = new Int32Array(2 * max + 3);  // the furthest x on diagonal k, at offset + k
    const trace = [];
    for (let d = 0; d <= max; ++d) {
      trace.push(v.slice(offset - d - 1, offset + d + 2));  // diagonal k at k + d + 1
      for (let k = -d; k <= d; k += 2) {
        const down = k === -d || (k !== d && v[offset + k - 1] < v[offset + k + 1]);
        let x = down ? v[offset + k + 1] : v[offset + k - 1] + 1;
        let y = x - k;
        while (x < a.length && y < b.length && a[x] === b[y]) { ++x; ++y; }
        v[offset + k] = x;
        if (x >= a.length && y >= b.length) return backtrack(a, b, trace);
      }
    }
    return null;
  }

  function backtrack(a, b, trace) {
    const script = [];
    let x = a.length;
    let y = b.length;
    for (let d = trace.length - 1; d >= 0; --d) {
      const at = (k) => trace[d][k + d + 1];
      const k = x - y;
      const down = k === -d || (k !== d && at(k - 1) < at(k + 1));
      const previousK = down ? k + 1 : k - 1;
      const previousX = at(previousK);
      const previousY = previousX - previousK;
      while (x > previousX && y > previousY) script.push([' ', a[--x]]), --y;
      if (d > 0) script.push(down ? ['+', b[--y]] : ['-', a[--x]]);
    }
    return script.reverse();
  }

  function showDiff() {
    const lines = (text) => {
      const split = text.split('\n');
      if (split[split.length - 1] === '') split.pop();
      return split;
    };
    diff.textContent = '';
    if (last === null || last.message !== '') return;
    const script = editScript(lines(last.input), lines(last.output));
    const add = (className, text) => {
      const span = document.createElement('span');
      span.className = className;
      span.textContent = text;
      diff.append(span);
    };
    if (script === null) return add('gap', 'Too many changes to show.');
    if (script.every(([kind]) => kind === ' ')) return add('gap', 'No change.');
    const near = new Uint8Array(script.length);
    script.forEach(([kind], i) => {
      if (kind === ' ') return;
      for (let j = Math.max(0, i - DIFF_CONTEXT); j <= Math.min(script.length - 1, i + DIFF_CONTEXT); ++j) near[j] = 1;
    });
    for (let i = 0; i < script.length; ++i) {
      if (near[i]) {
        const [kind, text] = script[i];
        add(kind === '-' ? 'del' : kind === '+' ? 'add' : 'same', kind + ' ' + text);
        continue;
      }
      let end = i;
      while (end < script.length && !near[end]) ++end;
      add('gap', `⋯ ${end - i} unchanged line${end - i === 1 ? '' : 's'}`);
      i = end - 1;
    }
  }

  function showTab(showingDiff) {
    element('show-output').setAttribute('aria-selected', String(!showingDiff));
    element('show-diff').setAttribute('aria-selected', String(showingDiff));
    output.hidden = showingDiff;
    diff.hidden = !showingDiff;
    if (showingDiff) showDiff();
  }

  function copyLink() {
    writeAddress();
    const button = element('share');
    const done = (text) => {
      button.textContent = text;
      setTimeout(() => { button.textContent = 'Copy link'; }, 1500);
    };
    navigator.clipboard.writeText(location.href).then(() => done('Link copied'), () => done('Copy the address'));
  }

  function start(made) {
    formatter = made;
    const styleSelect = form.elements.namedItem('style');
    for (const s of formatter.catalogue.styles) styleSelect.add(new Option(s.label, s.name));
    for (const [key, setting] of Object.entries(formatter.catalogue.settings)) makeControl(key, setting);
    form.addEventListener('change', onSettingChanged);
    form.addEventListener('input', (event) => { if (event.target.type === 'text') onSettingChanged(event); });
    form.addEventListener('submit', (event) => event.preventDefault());
    input.addEventListener('input', () => {
      showGutter(0);
      clearTimeout(timer);
      timer = setTimeout(run, TYPING_PAUSE_MS);
    });
    input.addEventListener('scroll', () => { gutter.scrollTop = input.scrollTop; });
    message.addEventListener('click', selectMessagePlace);
    element('show-output').addEventListener('click', () => showTab(false));
    element('show-diff').addEventListener('click', () => showTab(true));
    element('share').addEventListener('click', copyLink);
    // A link pasted into this page's address bar.
    window.addEventListener('hashchange', () => {
      if (location.hash === written) return;
      readAddress();
      run();
    });
    readAddress();
    run();
    element('loading').remove();
  }

  createFormatter(createQfmt).then(start, (error) => {
    element('loading').textContent = `The formatter could not be loaded: ${error}`;
  });
})();
