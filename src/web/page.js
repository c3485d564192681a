"use strict";
// The page's glue: moves text and bytes between the controls and the engine
// (hushnote_page.h). The engine does every check and speaks every word but
// one, that the browser could not read a file; no cipher rule lives here.
(() => {
  const $ = (id) => document.getElementById(id);
  const box = $("txtMsg"), password = $("txtPassword"), status = $("lblStatus");
  const progress = $("progress"), undoButton = $("cmdUndo"), fileIn = $("fileIn");
  const chatButton = $("cmdCopyForChat");
  const commands = ["cmdSecure", "cmdDeSecure", "Command1", "cmdSecureFile", "cmdDeSecureFile"];
  const O = { OK: 0, NO_MESSAGE: 1, PASSWORD_BLANK: 2, FAILED: 4, WRONG_PASSWORD: 5, COPIED: 6,
    DAMAGED: 8, SECURING_TEXT: 10, DESECURING_TEXT: 11, SECURING_FILE: 12,
    DESECURING_FILE: 13, COPY_BY_HAND: 14, FILE_SAVED: 15, SECURE_AGAIN: 18 };
  const SECURE_PIECE = 3 * 699051; // a whole number of groups of 3 bytes
  const DESECURE_PIECE = 1 << 21;
  const READ_CHUNK = 1 << 20;
  const encoder = new TextEncoder(), decoder = new TextDecoder();
  let engine = null;
  // What each De-Secure replaced, latest last: a wrong password and then the
  // right one must still lead back to the secured text.
  let undoTexts = [];
  // What the last De-Secure read and what it put in the box. While the box
  // still holds that, unchanged, a second try starts again from what was
  // read: a mistyped password then costs nothing.
  let lastRead = null;
  // The secured text the status line asked about: Secure pressed again on
  // it, unchanged, secures it again.
  let askedAbout = null;
  let busy = false;
  // What a copy of the whole box carries instead of the box's text, when the
  // browser made the user copy by hand.
  let carried = null;

  // Runs fn on copies of inputs in the engine's memory, with an output area
  // of outCap bytes; every copy is zeroed before it is freed.
  function call(fn, inputs, outCap, work) {
    const ptrs = inputs.map((bytes) => {
      const p = engine._malloc(Math.max(bytes.length, 1));
      engine.HEAPU8.set(bytes, p);
      return p;
    });
    const out = engine._malloc(Math.max(outCap, 1) + 4);
    try {
      const args = [];
      inputs.forEach((bytes, i) => args.push(ptrs[i], bytes.length));
      return work(fn, args, out, outCap);
    } finally {
      engine.HEAPU8.fill(0, out, out + outCap + 4);
      engine._free(out);
      inputs.forEach((bytes, i) => {
        engine.HEAPU8.fill(0, ptrs[i], ptrs[i] + bytes.length);
        engine._free(ptrs[i]);
      });
    }
  }
  const read = (p, n) => engine.HEAPU8.slice(p, p + n);
  const text = (p, n) => decoder.decode(engine.HEAPU8.subarray(p, p + n));

  function words(outcome) {
    return call(engine._hn_words, [], engine._hn_words_length(outcome), (fn, args, out, cap) =>
      text(out, Math.max(fn(outcome, out, cap), 0)));
  }
  function say(outcome) { status.textContent = words(outcome); }

  function passwordBytes() {
    const bytes = encoder.encode(password.value);
    password.value = "";
    return bytes;
  }
  function setBox(value) {
    undoButton.hidden = true;
    carried = null;
    lastRead = null;
    askedAbout = null;
    box.value = value;
    box.setSelectionRange(0, 0);
    box.scrollTop = 0;
    offerChat();
  }

  // The secured text the box holds, fenced for a chat; null when it holds
  // none, or none whole.
  function chatForm() {
    const input = encoder.encode(box.value);
    try {
      return call(engine._hn_chat_form, [input], input.length + 8, (fn, args, out, cap) => {
        const n = fn(...args, out, cap);
        return n < 0 ? null : text(out, n);
      });
    } finally {
      input.fill(0);
    }
  }
  function offerChat() { chatButton.disabled = busy || chatForm() === null; }
  // The engine's own test: the box holds secured text whose length fits its
  // header, as Copy for Chat needs it.
  const holdsSecuredText = () => chatForm() !== null;

  function secure() {
    if (busy) return;
    // Securing secured text again is seldom meant, and has no way back: the
    // status line asks, and a second press goes ahead.
    if (password.value !== "" && askedAbout !== box.value && holdsSecuredText()) {
      askedAbout = box.value;
      say(O.SECURE_AGAIN);
      return;
    }
    const message = encoder.encode(box.value), pw = passwordBytes();
    say(O.SECURING_TEXT);
    let result;
    try {
      result = call(engine._hn_secure_text, [message, pw], 26676, (fn, args, out, cap) => {
        const n = fn(...args, out, cap);
        return n < 0 ? n : text(out, n);
      });
    } finally {
      message.fill(0);
      pw.fill(0);
    }
    if (typeof result === "number") {
      say(-result);
      (-result === O.PASSWORD_BLANK ? password : box).focus();
      return;
    }
    status.textContent = "";
    undoTexts = [];
    setBox(result);
    box.focus();
  }

  function deSecure() {
    if (busy) return;
    askedAbout = null;
    // A result that is itself secured text was read with the right password:
    // that is a message secured twice, and De-Secure goes on from it.
    const retry = lastRead !== null && box.value === lastRead.result && !holdsSecuredText();
    const secured = retry ? lastRead.source : box.value;
    const input = encoder.encode(secured), pw = passwordBytes();
    say(O.DESECURING_TEXT);
    let result;
    try {
      result = call(engine._hn_desecure_text, [input, pw], 3 * input.length + 16,
        (fn, args, out, cap) => {
          const n = fn(...args, out, cap, out + cap);
          return n < 0 ? n : { message: text(out, n), outcome: engine.HEAPU8[out + cap] };
        });
    } finally {
      pw.fill(0);
    }
    if (typeof result === "number") {
      say(-result);
      (-result === O.PASSWORD_BLANK ? password : box).focus();
      return;
    }
    // A second try leaves the way back as the first one made it: one Undo.
    if (!retry) undoTexts.push(secured);
    setBox(result.message);
    lastRead = { source: secured, result: box.value };
    // A wrong password, a changed text or no secured text at all: the status
    // line says which, and Undo brings the paste back.
    say(result.outcome);
    undoButton.hidden = result.outcome === O.OK;
    box.focus();
  }

  function undo() {
    if (undoTexts.length === 0) return false;
    setBox(undoTexts.pop());
    status.textContent = "";
    box.focus();
    return true;
  }

  async function copy(value) {
    carried = null;
    try {
      await navigator.clipboard.writeText(value);
      say(O.COPIED);
      return;
    } catch (refused) {
      // file:// pages and some browsers keep the clipboard API closed.
    }
    box.focus();
    box.select();
    carried = value;
    let copied = false;
    try { copied = document.execCommand("copy"); } catch (refused) { copied = false; }
    say(copied ? O.COPIED : O.COPY_BY_HAND);
  }

  function copyForChat() {
    const fenced = chatForm();
    if (fenced !== null) copy(fenced);
  }

  function setBusy(on) {
    busy = on;
    commands.forEach((id) => { $(id).disabled = on; });
    offerChat();
    progress.hidden = !on;
  }

  function offer(parts, name) {
    const url = URL.createObjectURL(new Blob(parts, { type: "application/octet-stream" }));
    const a = document.createElement("a");
    a.href = url;
    a.download = name;
    document.body.append(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(url), 60000);
  }

  // A turn for the page between pieces: input is handled and the progress
  // painted, with none of the delay a timer adds.
  const turn = () => new Promise((resolve) => {
    const channel = new MessageChannel();
    channel.port1.onmessage = resolve;
    channel.port2.postMessage(0);
  });

  // The file as a stream: the browser reads on while the engine works, and
  // hands its chunks to one buffer that goes back and forth between them,
  // so that reading allocates nothing. A browser whose file streams have no
  // such reader gets the stream's own chunks. Each chunk is copied before
  // the next read, which may take its buffer back. A file that changed
  // meanwhile makes a read fail.
  function fileReader(file) {
    const stream = file.stream();
    let next;
    try {
      const reader = stream.getReader({ mode: "byob" });
      let buffer = new ArrayBuffer(READ_CHUNK);
      next = async () => {
        const { done, value } = await reader.read(new Uint8Array(buffer));
        if (done) return null;
        buffer = value.buffer;
        return value;
      };
      next.cancel = () => reader.cancel().catch(() => {});
    } catch (noByob) {
      const reader = stream.getReader();
      next = async () => {
        const { done, value } = await reader.read();
        return done ? null : value;
      };
      next.cancel = () => reader.cancel().catch(() => {});
    }
    return next;
  }

  // Secures or de-secures a file piece by piece, each piece's output a part
  // of the download at once, with a turn for the page between pieces.
  async function runFile(securing, file, pwGiven) {
    if (busy) return;
    if (!pwGiven && password.value === "") {
      say(O.PASSWORD_BLANK);
      password.focus();
      return;
    }
    setBusy(true);
    say(securing ? O.SECURING_FILE : O.DESECURING_FILE);
    const name = encoder.encode(file.name);
    const piece = securing ? SECURE_PIECE : DESECURE_PIECE;
    const outCap = securing ? (piece / 3 + 1) * 4 : piece + 4;
    const inPtr = engine._malloc(piece), outPtr = engine._malloc(outCap + 4);
    const parts = [], pw = pwGiven ? pwGiven.slice() : passwordBytes();
    let nextChunk = null;
    try {
      let n = call(engine._hn_file_begin, [name, pw], 8, (fn, args, out, cap) => {
        const got = fn(securing ? 1 : 0, args[0], args[1], file.size, args[2], args[3], out, cap);
        if (got > 0) parts.push(read(out, got));
        return got;
      });
      let done = 0, shown = -Infinity;
      // At most ten times a second: each new figure costs the page a layout.
      const showProgress = () => {
        if (performance.now() - shown < 100) return;
        shown = performance.now();
        status.textContent = call(engine._hn_progress_words, [], 32, (fn, args, out, cap) =>
          text(out, fn(file.size - done, out, cap)));
        progress.value = done / file.size;
      };
      nextChunk = fileReader(file);
      if (n >= 0 && file.size > 0) showProgress();
      let chunk = new Uint8Array(0), at = 0;
      while (n >= 0 && done < file.size) {
        // A piece gathered from the stream's chunks, straight into the
        // engine's memory.
        const length = Math.min(piece, file.size - done);
        for (let filled = 0; filled < length;) {
          if (at === chunk.length) {
            chunk = await nextChunk();
            at = 0;
            if (chunk === null) throw new Error("the file shrank while it was read");
          }
          const take = Math.min(length - filled, chunk.length - at);
          engine.HEAPU8.set(chunk.subarray(at, at + take), inPtr + filled);
          filled += take;
          at += take;
        }
        n = engine._hn_file_piece(inPtr, length, outPtr, outCap);
        // The Blob copies the output at once, so the next piece may reuse it.
        if (n > 0) parts.push(new Blob([engine.HEAPU8.subarray(outPtr, outPtr + n)]));
        done += length;
        showProgress();
        await turn();
      }
      let outcome = 0;
      if (n >= 0) {
        n = engine._hn_file_end(outPtr, outCap, outPtr + outCap);
        outcome = engine.HEAPU8[outPtr + outCap];
        if (n > 0) parts.push(read(outPtr, n));
      }
      if (n < 0) {
        say(-n);
        return;
      }
      const outName = call(engine._hn_output_name, [name], name.length + 12,
        (fn, args, out, cap) => text(out, fn(securing ? 1 : 0, ...args, out, cap)));
      offer(parts, outName);
      say(outcome === O.DAMAGED ? O.DAMAGED : O.FILE_SAVED);
    } catch (failure) {
      // The file went or changed while it was read: the engine drops the key,
      // and nothing is offered.
      engine._hn_file_end(outPtr, outCap, outPtr + outCap);
      status.textContent = unreadable(file);
    } finally {
      if (nextChunk) nextChunk.cancel();
      pw.fill(0);
      engine.HEAPU8.fill(0, inPtr, inPtr + piece);
      engine.HEAPU8.fill(0, outPtr, outPtr + outCap + 4);
      engine._free(inPtr);
      engine._free(outPtr);
      setBusy(false);
    }
  }

  function unreadable(file) {
    return `"${file.name}" could not be read. Nothing was written.`;
  }

  async function dropped(file, pw) {
    let head;
    try {
      head = new Uint8Array(await file.slice(0, 16).arrayBuffer());
    } catch (failure) {
      status.textContent = unreadable(file);
      return;
    }
    const name = encoder.encode(file.name);
    const secured = call(engine._hn_file_is_secured, [name, head], 0,
      (fn, args) => fn(...args, file.size)) === 1;
    await runFile(!secured, file, pw);
  }

  // Several files dropped at once are worked on in turn, with the one
  // password typed, and the status line keeps what came of each.
  async function droppedAll(files) {
    if (busy || files.length === 0) return;
    if (files.length === 1 || password.value === "") {
      await dropped(files[0]);
      return;
    }
    const pw = passwordBytes(), said = [];
    try {
      for (const file of files) {
        await dropped(file, pw);
        said.push(status.textContent);
      }
    } finally {
      pw.fill(0);
    }
    status.textContent = said.join("\n");
  }

  let pickSecuring = true;
  function pick(securing) {
    if (busy) return;
    if (password.value === "") {
      say(O.PASSWORD_BLANK);
      password.focus();
      return;
    }
    pickSecuring = securing;
    fileIn.value = "";
    fileIn.click();
  }

  function wire() {
    $("cmdSecure").addEventListener("click", secure);
    $("cmdDeSecure").addEventListener("click", deSecure);
    $("Command1").addEventListener("click", () => copy(box.value));
    chatButton.addEventListener("click", copyForChat);
    undoButton.addEventListener("click", undo);
    $("cmdSecureFile").addEventListener("click", () => pick(true));
    $("cmdDeSecureFile").addEventListener("click", () => pick(false));
    fileIn.addEventListener("change", () => {
      if (fileIn.files.length > 0) runFile(pickSecuring, fileIn.files[0]);
    });
    $("chkShow").addEventListener("change", (e) => {
      password.type = e.target.checked ? "text" : "password";
    });
    password.addEventListener("keydown", (e) => {
      if (e.key === "Enter") {
        e.preventDefault();
        deSecure();
      }
    });
    box.addEventListener("keydown", (e) => {
      if ((e.ctrlKey || e.metaKey) && !e.shiftKey && e.key.toLowerCase() === "z" && undo()) {
        e.preventDefault();
      }
    });
    // No guard keeps Ctrl+Z from bringing a secured message back: setting
    // the box's value from script empties the browser's own undo history.
    box.addEventListener("input", () => {
      undoTexts = [];
      undoButton.hidden = true;
      carried = null;
      offerChat();
    });
    box.addEventListener("copy", (e) => {
      if (carried !== null && box.selectionStart === 0 && box.selectionEnd === box.value.length) {
        e.clipboardData.setData("text/plain", carried);
        e.preventDefault();
      }
      carried = null;
    });
    document.addEventListener("dragover", (e) => {
      e.preventDefault();
      document.body.classList.add("dropping");
    });
    document.addEventListener("dragleave", () => document.body.classList.remove("dropping"));
    document.addEventListener("drop", (e) => {
      e.preventDefault();
      document.body.classList.remove("dropping");
      droppedAll([...e.dataTransfer.files]);
    });
  }

  // A page that carries a message reads as a message for its receiver, even
  // before the engine has started: its title says so, and De-Secure comes
  // first, in the order Tab takes too.
  function addressToReceiver() {
    if (box.defaultValue === "") return;
    document.body.classList.add("carried");
    document.title = $("carried-title").textContent;
    $("textCommands").prepend($("cmdDeSecure"));
  }
  addressToReceiver();

  function start(module) {
    engine = module;
    wire();
    $("cannot-run").remove();
    box.readOnly = false;
    const carried = box.value;
    const hint = $("hint-text").textContent;
    $("hint").hidden = hint === "";
    if (hint === "") password.removeAttribute("aria-describedby");
    [box, password].forEach((c) => { c.disabled = false; });
    commands.forEach((id) => { $(id).disabled = false; });
    status.textContent = "";
    if (carried !== "") {
      password.focus();
    } else {
      box.focus();
    }
    offerChat();
    document.body.dataset.ready = "1";
    performance.mark("hushnote-ready");
  }

  // Where WebAssembly is turned off the engine fails at once: say so now
  // rather than after the note's few seconds.
  function cannotRun(e) {
    $("cannot-run").style.animation = "none";
    status.textContent = String(e);
  }
  try {
    HushnoteEngine().then(start, cannotRun);
  } catch (e) {
    cannotRun(e);
  }
})();
