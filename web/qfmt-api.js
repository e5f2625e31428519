// The interface of qfmt.js (programs/qfmt_web.cc) for the page and for node:
// createFormatter(createQfmt) resolves to a formatter that holds one
// Playground of the module.
(function (root) {
  'use strict';

  async function createFormatter(createQfmt) {
    const module = await createQfmt();
    const playground = module._qfmt_new();
    const encoder = new TextEncoder();
    const decoder = new TextDecoder();
    const cString = (at) => {
      const heap = module.HEAPU8;
      let end = at;
      while (heap[end] !== 0) ++end;
      return decoder.decode(heap.subarray(at, end));
    };
    // The buffer is asked for first: it may grow the memory, and with it
    // replace module.HEAPU8.
    const put = (buffer, bytes) => {
      const at = buffer(playground, bytes.length);
      module.HEAPU8.set(bytes, at);
    };

    return {
      // {styles: [{name, label, summary, settings: {key: default}}],
      //  settings: {key: {label, kind, choices: [[value, label]]}}}
      catalogue: JSON.parse(cString(module._qfmt_styles(playground))),

      // Formats bytes (a Uint8Array) with settings such as
      // "style=exact&brace=break": {output (bytes), message, line, column};
      // message is empty when the text was formatted, line 0 when it names
      // no place, and columns count bytes.
      formatBytes(bytes, settings) {
        put(module._qfmt_settings_buffer, encoder.encode(settings));
        put(module._qfmt_text_buffer, bytes);
        const at = module._qfmt_format(playground) >>> 2;
        const words = module.HEAPU32;
        return {
          output: module.HEAPU8.slice(words[at], words[at] + words[at + 1]),
          message: cString(words[at + 2]),
          line: module.HEAP32[at + 3],
          column: module.HEAP32[at + 4],
        };
      },

      // The same for a string: the output is a string.
      format(text, settings) {
        const result = this.formatBytes(encoder.encode(text), settings);
        return { ...result, output: decoder.decode(result.output) };
      },

      dispose() {
        module._qfmt_delete(playground);
      },
    };
  }

  if (typeof module === 'object' && module.exports) {
    module.exports = { createFormatter };
  } else {
    root.createFormatter = createFormatter;
  }
})(typeof globalThis === 'object' ? globalThis : this);
