// Replays a grid search written by quellostrin.viz.to_html.
//
// The page's #replay-data element holds the map and the trace as one
// compressed buffer. The cells are drawn on a canvas with one pixel per cell,
// scaled up by CSS; moving from one frame to another recolours only the cells
// first expanded in between (forwards to their expanded colour, backwards to
// their ground colour), so a frame costs what it changes, not the map's size.
// The marks (start, goal, the cell being expanded, the path once the search
// is over) are drawn on a second canvas over the first.
//
// window.replay offers seek(frame), play(), pause(), frame, frames and
// playing to scripts that drive the page.
"use strict";
(async () => {
  const spec = JSON.parse(document.getElementById("replay-data").textContent);
  const { width, height, count, step } = spec;

  // The buffer (little-endian, widest parts first so that each is aligned):
  // per expansion g (NaN for none), the cell (row * width + col) and the
  // frontier's size, these two as differences from the entry before (modulo
  // 2^32, as Uint32Array stores sums); the path's cells; per cell its shade;
  // the shades' RGB colours; the colour map's 256 RGB colours.
  const packed = atob(spec.data);
  const bytes = new Uint8Array(packed.length);
  for (let i = 0; i < packed.length; i++) bytes[i] = packed.charCodeAt(i);
  const inflated = new Blob([bytes]).stream().pipeThrough(new DecompressionStream("deflate"));
  const buffer = await new Response(inflated).arrayBuffer();
  let offset = 0;
  const take = (Type, length) => {
    const view = new Type(buffer, offset, length);
    offset += length * Type.BYTES_PER_ELEMENT;
    return view;
  };
  const g = take(Float64Array, count);
  const trace = take(Uint32Array, count);
  const frontier = take(Uint32Array, count);
  const path = take(Uint32Array, spec.pathLength);
  const shade = take(Uint8Array, width * height);
  const shadeColours = take(Uint8Array, 256 * 3);
  const cmapColours = take(Uint8Array, 256 * 3);
  for (let i = 1; i < count; i++) {
    trace[i] += trace[i - 1];
    frontier[i] += frontier[i - 1];
  }

  // Per cell, the trace index of its first expansion (-1: never). A cell
  // expanded again keeps the colour of the first time.
  const first = new Int32Array(width * height).fill(-1);
  for (let i = 0; i < count; i++) if (first[trace[i]] < 0) first[trace[i]] = i;

  const board = document.getElementById("board");
  const cellsCanvas = document.getElementById("cells");
  const marksCanvas = document.getElementById("marks");
  const cssWidth = width * spec.cell, cssHeight = height * spec.cell;
  board.style.width = `${cssWidth}px`;
  board.style.height = `${cssHeight}px`;
  for (const canvas of [cellsCanvas, marksCanvas]) {
    canvas.style.width = `${cssWidth}px`;
    canvas.style.height = `${cssHeight}px`;
  }
  cellsCanvas.width = width;
  cellsCanvas.height = height;
  const cellsContext = cellsCanvas.getContext("2d");
  const image = cellsContext.createImageData(width, height);
  const pixels = image.data;

  // The smallest rectangle holding every cell recoloured since the last flush.
  let left = width, top = height, right = -1, bottom = -1;
  const alpha = spec.alpha, last = Math.max(count - 1, 1);
  function colour(cell, expanded) {
    const ground = shade[cell] * 3, at = cell * 4;
    if (expanded) {
      const c = Math.min(255, Math.floor((first[cell] * 256) / last)) * 3;
      for (let k = 0; k < 3; k++) {
        pixels[at + k] = Math.round(alpha * cmapColours[c + k] + (1 - alpha) * shadeColours[ground + k]);
      }
    } else {
      for (let k = 0; k < 3; k++) pixels[at + k] = shadeColours[ground + k];
    }
    pixels[at + 3] = 255;
    const x = cell % width, y = (cell - x) / width;
    left = Math.min(left, x);
    right = Math.max(right, x);
    top = Math.min(top, y);
    bottom = Math.max(bottom, y);
  }
  function flush() {
    if (right < 0) return;
    cellsContext.putImageData(image, 0, 0, left, top, right - left + 1, bottom - top + 1);
    left = width;
    top = height;
    right = bottom = -1;
  }
  for (let cell = 0; cell < width * height; cell++) colour(cell, false);
  flush();

  // The marks canvas has the screen's resolution and draws in cell units:
  // cell (row, col) spans [col, col + 1] x [row, row + 1].
  const ratio = window.devicePixelRatio || 1;
  marksCanvas.width = Math.round(cssWidth * ratio);
  marksCanvas.height = Math.round(cssHeight * ratio);
  const marks = marksCanvas.getContext("2d");
  const scale = spec.cell * ratio;
  marks.setTransform(scale, 0, 0, scale, 0, 0);
  const px = 1 / spec.cell; // one CSS pixel, in cells
  const radius = Math.min(Math.max(0.45, 4 * px), 8 * px);
  const centre = (cell) => [(cell % width) + 0.5, Math.floor(cell / width) + 0.5];
  function star(x, y, r) {
    marks.beginPath();
    for (let k = 0; k < 10; k++) {
      const rk = k % 2 ? 0.4 * r : r, angle = (k * Math.PI) / 5;
      marks.lineTo(x + rk * Math.sin(angle), y - rk * Math.cos(angle));
    }
    marks.closePath();
  }
  function drawMarks(done) {
    marks.clearRect(0, 0, width, height);
    marks.lineJoin = marks.lineCap = "round";
    if (done === count && path.length > 1) {
      marks.beginPath();
      for (const cell of path) marks.lineTo(...centre(cell));
      marks.strokeStyle = spec.colors.path;
      marks.lineWidth = Math.min(Math.max(1 / 3, 2 * px), 6 * px);
      marks.stroke();
    }
    const cell = trace[done - 1];
    marks.strokeStyle = spec.colors.current;
    marks.lineWidth = px;
    marks.strokeRect((cell % width) + px / 2, Math.floor(cell / width) + px / 2, 1 - px, 1 - px);
    marks.lineWidth = px;
    if (spec.start !== null) {
      const [x, y] = centre(spec.start);
      marks.beginPath();
      marks.arc(x, y, radius, 0, 2 * Math.PI);
      marks.fillStyle = spec.colors.start;
      marks.fill();
      marks.stroke();
    }
    if (spec.goal !== null) {
      star(...centre(spec.goal), 1.4 * radius);
      marks.fillStyle = spec.colors.goal;
      marks.fill();
      marks.stroke();
    }
  }

  const frames = Math.ceil(count / step);
  const slider = document.getElementById("slider");
  const status = document.getElementById("status");
  const playButton = document.getElementById("play");
  const speed = document.getElementById("speed");
  slider.max = frames - 1;
  let frame = -1, shown = 0, playing = false, timer = 0;

  function seek(to) {
    frame = Math.max(0, Math.min(frames - 1, Math.trunc(to) || 0));
    const done = Math.min((frame + 1) * step, count);
    for (let i = shown; i < done; i++) if (first[trace[i]] === i) colour(trace[i], true);
    for (let i = done; i < shown; i++) if (first[trace[i]] === i) colour(trace[i], false);
    shown = done;
    flush();
    drawMarks(done);
    slider.value = frame;
    const gText = Number.isNaN(g[done - 1]) ? "-" : String(Number(g[done - 1].toPrecision(6)));
    status.textContent = `expansion ${done}/${count}   g = ${gText}   frontier = ${frontier[done - 1]}`;
  }

  // A tick at most every 16 ms (about one screen refresh): faster speeds move
  // several frames a tick.
  function tick() {
    const delay = spec.interval / Number(speed.value);
    const wait = Math.max(delay, 16);
    seek(frame + Math.max(1, Math.round(wait / delay)));
    if (frame >= frames - 1) pause();
    else timer = setTimeout(tick, wait);
  }
  function play() {
    if (playing) return;
    if (frame >= frames - 1) seek(0);
    playing = true;
    playButton.textContent = "❚❚";
    playButton.title = "Pause";
    timer = setTimeout(tick, Math.max(spec.interval / Number(speed.value), 16));
  }
  function pause() {
    playing = false;
    clearTimeout(timer);
    playButton.textContent = "▶";
    playButton.title = "Play";
  }
  const stepTo = (to) => {
    pause();
    seek(to);
  };

  playButton.addEventListener("click", () => (playing ? pause() : play()));
  document.getElementById("first").addEventListener("click", () => stepTo(0));
  document.getElementById("back").addEventListener("click", () => stepTo(frame - 1));
  document.getElementById("forward").addEventListener("click", () => stepTo(frame + 1));
  document.getElementById("last").addEventListener("click", () => stepTo(frames - 1));
  slider.addEventListener("input", () => stepTo(Number(slider.value)));
  document.addEventListener("keydown", (event) => {
    // A list keeps its own keys, and a button its own space bar (which clicks it).
    const target = event.target;
    if (target instanceof HTMLSelectElement || (event.key === " " && target instanceof HTMLButtonElement)) return;
    const keys = {
      " ": () => (playing ? pause() : play()),
      ArrowLeft: () => stepTo(frame - 1),
      ArrowRight: () => stepTo(frame + 1),
      Home: () => stepTo(0),
      End: () => stepTo(frames - 1),
    };
    if (event.key in keys) {
      event.preventDefault();
      keys[event.key]();
    }
  });

  window.replay = {
    seek: stepTo,
    play,
    pause,
    frames,
    get frame() {
      return frame;
    },
    get playing() {
      return playing;
    },
  };
  seek(0);
  if (spec.autoplay) play();
})();
