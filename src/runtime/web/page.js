// The page's side of the browser backend: what the program's C++ draws on and
// hears from. It owns no rule of the program: it makes the elements the backend
// asks for, draws what it is told, and hands every input event to the backend
// (Module._quintarel_*), except while the program waits in a message box, when
// nothing may call into it.
"use strict";

var Quintarel = (function () {
  var screen = null;     // the page's "screen": every window lies on it
  var windows = {};      // id -> {canvas, ctx, element}
  var asleep = false;    // the program waits for a message box: no calls into it
  var cursor = null;     // the cursor the page draws while the pointer is held
  var holdTimer = 0;     // a hold to ask for again, once the browser will grant it
  var status = null;     // the page's line of what it can't do, if anything
  var ascents = {};      // font -> its ascent, the same for every text in it

  var inside = false;    // a call into the program is running: what it causes waits for none
  function call(name, args) {
    if (asleep || inside || !window.Module || !Module["_" + name]) return;
    inside = true;
    try {
      Module.ccall(name, null, args.map(function () { return "number"; }), args, { async: true });
    } finally {
      inside = false;
    }
  }

  // ARIA roles of the program's node kinds: group, choice, button, text, table,
  // column header, row header, cell.
  var nodeRoles = ["radiogroup", "radio", "button", null, "grid", "columnheader", "rowheader", "gridcell"];

  function rgb(color) {
    return "rgb(" + (color & 255) + "," + ((color >> 8) & 255) + "," + ((color >> 16) & 255) + ")";
  }

  function modifiers(e) {
    return (e.shiftKey ? 1 : 0) | (e.ctrlKey ? 2 : 0) | (e.altKey ? 4 : 0) | (e.metaKey ? 8 : 0);
  }

  // Keys the program answers, as the runtime names them; the rest stay the browser's.
  var keyCodes = { Enter: 8, NumpadEnter: 8, Space: 9, Tab: 10, ArrowLeft: 11, ArrowRight: 12, ArrowUp: 13,
                   ArrowDown: 14 };
  function keyOf(e) {
    var m = /^(Digit|Numpad)([1-7])$/.exec(e.code);
    if (m) return Number(m[2]);
    return keyCodes[e.code] || 0;
  }

  function point(w, e) {
    var r = w.canvas.getBoundingClientRect();
    var ratio = window.devicePixelRatio || 1;
    return [Math.floor((e.clientX - r.left) * ratio), Math.floor((e.clientY - r.top) * ratio)];
  }

  // The page's focus moves when the program's call is done: the layout a
  // focus forces is then done once, with the rest of the call's changes.
  var focusTarget = null;
  function focusLater(element) {
    if (!focusTarget) {
      queueMicrotask(function () {
        var target = focusTarget;
        focusTarget = null;
        if (document.activeElement !== target) target.focus({ preventScroll: true });
      });
    }
    focusTarget = element;
  }

  function say(text) {
    if (!status) return;
    status.textContent = text;
    status.hidden = !text;
  }

  return {
    start: function () {
      screen = document.getElementById("screen");
      status = document.getElementById("status");
      document.addEventListener("keydown", function (e) {
        if (asleep) return;
        var key = keyOf(e);
        var id = document.activeElement && document.activeElement.dataset.window;
        if (!key || id === undefined) return;
        // A focused button takes Enter and Space itself, as a click.
        if (document.activeElement.tagName === "BUTTON" && (key === 8 || key === 9)) return;
        e.preventDefault();
        call("quintarel_key", [Number(id), key, modifiers(e), e.repeat ? 1 : 0]);
      });
      document.addEventListener("pointerlockchange", function () {
        var held = document.pointerLockElement === screen;
        call("quintarel_lock", [held ? 1 : 0]);
      });
      document.addEventListener("pointerlockerror", function () {
        // A second request's refusal while the first one's lock is held is no refusal.
        if (document.pointerLockElement !== screen) call("quintarel_lock", [-1]);
      });
      screen.addEventListener("mousemove", function (e) {
        if (document.pointerLockElement === screen) call("quintarel_held_move", [e.movementX, e.movementY]);
      });
      screen.addEventListener("mousedown", function (e) {
        if (document.pointerLockElement === screen && e.button === 0) call("quintarel_held_button", [1]);
      });
      screen.addEventListener("mouseup", function (e) {
        if (document.pointerLockElement === screen && e.button === 0) call("quintarel_held_button", [0]);
      });
      window.addEventListener("resize", function () { call("quintarel_resized", []); });
    },
    ratio: function () { return window.devicePixelRatio || 1; },
    screenSize: function () {
      var ratio = window.devicePixelRatio || 1;
      return [Math.round(window.innerWidth * ratio), Math.round(window.innerHeight * ratio)];
    },
    // The screen is as large as the windows on it need: a page smaller than
    // that scrolls rather than cutting a window off.
    extend: function (width, height) {
      var ratio = window.devicePixelRatio || 1;
      screen.style.minWidth = Math.ceil(width / ratio) + "px";
      screen.style.minHeight = Math.ceil(height / ratio) + "px";
    },
    createWindow: function (id, title, tool) {
      var element = document.createElement("div");
      element.className = "window" + (tool ? " tool" : "");
      element.setAttribute("role", "dialog");
      element.setAttribute("aria-label", title);
      element.dataset.window = id;
      element.tabIndex = -1;
      var canvas = document.createElement("canvas");
      canvas.setAttribute("aria-hidden", "true");
      element.appendChild(canvas);
      screen.appendChild(element);
      var w = { element: element, canvas: canvas, ctx: canvas.getContext("2d"), buttons: [], nodes: [] };
      windows[id] = w;
      // A click on the canvas leaves the page's focus where the program puts it.
      canvas.addEventListener("mousedown", function (e) { e.preventDefault(); });
      canvas.addEventListener("pointerdown", function (e) {
        if (e.button !== 0 || document.pointerLockElement) return;
        var p = point(w, e);
        canvas.setPointerCapture(e.pointerId);
        call("quintarel_mouse", [id, 0, p[0], p[1]]);
      });
      canvas.addEventListener("pointermove", function (e) {
        if (document.pointerLockElement) return;
        var p = point(w, e);
        call("quintarel_mouse", [id, 2, p[0], p[1]]);
      });
      canvas.addEventListener("pointerup", function (e) {
        if (e.button !== 0 || document.pointerLockElement) return;
        var p = point(w, e);
        call("quintarel_mouse", [id, 1, p[0], p[1]]);
      });
      return id;
    },
    place: function (id, left, top, width, height, clientLeft, clientTop) {
      var w = windows[id], ratio = window.devicePixelRatio || 1;
      w.element.dataset.clientLeft = clientLeft / ratio;
      w.element.dataset.clientTop = clientTop / ratio;
      w.canvas.width = width;
      w.canvas.height = height;
      w.canvas.style.width = width / ratio + "px";
      w.canvas.style.height = height / ratio + "px";
      w.element.style.left = left / ratio + "px";
      w.element.style.top = top / ratio + "px";
    },
    move: function (id, left, top) {
      var w = windows[id], ratio = window.devicePixelRatio || 1;
      w.element.style.left = left / ratio + "px";
      w.element.style.top = top / ratio + "px";
    },
    // Where a window's client area begins in it, in CSS pixels.
    clientOffset: function (index) {
      var element = document.querySelectorAll(".window")[index];
      return [Number(element.dataset.clientLeft), Number(element.dataset.clientTop)];
    },
    show: function (id, shown) {
      windows[id].element.hidden = !shown;
    },
    // In front and active: it takes the keyboard.
    raise: function (id, focus) {
      var w = windows[id], top = 0;
      Object.keys(windows).forEach(function (k) { top = Math.max(top, Number(windows[k].element.style.zIndex || 0)); });
      w.element.style.zIndex = top + 1;
      if (focus && !w.element.contains(focusTarget || document.activeElement)) focusLater(w.focusTarget || w.element);
    },
    // The window's accessible tree: an element per node of the program's tree,
    // over the canvas where the node is painted (a command button is its own
    // button), in the program's reading order. Roles by the program's node kinds.
    addNode: function (id, node, parent, kind, row, column, button) {
      var w = windows[id], element, container;
      var n = { kind: kind, parent: parent, rows: {}, rect: [0, 0, 0, 0] };
      if (button >= 0) {
        element = w.buttons[button];
        n.button = true;
      } else {
        element = document.createElement("div");
        element.className = "node";
        var role = nodeRoles[kind];
        if (role) element.setAttribute("role", role);
        element.dataset.window = id;
        // A screen reader's click presses; its focus moves the program's focus there.
        element.addEventListener("click", function (e) {
          e.preventDefault();
          call("quintarel_node", [id, node, 0]);
        });
        element.addEventListener("focus", function () { call("quintarel_node", [id, node, 1]); });
      }
      if (kind >= 5) {
        // Headers and cells sit in the rows of their table; its row headers
        // fill its first column.
        var table = w.nodes[parent], key = kind === 5 ? "head" : String(row);
        if (!table.rows[key]) {
          table.rows[key] = document.createElement("div");
          table.rows[key].className = "node";
          table.rows[key].setAttribute("role", "row");
          table.rows[key].style.left = table.rows[key].style.top = "0";
          table.element.appendChild(table.rows[key]);
        }
        container = table.rows[key];
        element.setAttribute("aria-colindex", kind === 6 ? 1 : column + 2);
      } else {
        container = parent >= 0 ? w.nodes[parent].element : w.element;
      }
      container.appendChild(element);
      n.element = element;
      w.nodes[node] = n;
    },
    // Its text (a container's name), its states (bits: enabled, visible,
    // focusable, checkable, checked) and its place in the window's device pixels.
    updateNode: function (id, node, text, flags, left, top, width, height) {
      var w = windows[id], n = w.nodes[node], element = n.element, ratio = window.devicePixelRatio || 1;
      n.rect = [left, top, width, height];
      element.hidden = !(flags & 2);
      if (n.button) return;  // the button names and places itself
      if (n.kind === 0 || n.kind === 4) element.setAttribute("aria-label", text);
      else if (element.textContent !== text) element.textContent = text;
      if (n.kind !== 3 && n.kind !== 0 && n.kind !== 4) element.setAttribute("aria-disabled", flags & 1 ? "false" : "true");
      if (flags & 8) element.setAttribute("aria-checked", flags & 16 ? "true" : "false");
      if (flags & 4) element.tabIndex = -1;
      else element.removeAttribute("tabindex");
      // Placed within its parent's element; a table's rows lie at the table's corner.
      var p = n.parent >= 0 ? w.nodes[n.parent].rect : [0, 0];
      element.style.left = (left - p[0]) / ratio + "px";
      element.style.top = (top - p[1]) / ratio + "px";
      element.style.width = width / ratio + "px";
      element.style.height = height / ratio + "px";
    },
    focusNode: function (id, node) {
      var w = windows[id];
      var target = node >= 0 && w.nodes[node] ? w.nodes[node].element : w.element;
      w.focusTarget = target;
      focusLater(target);
    },
    addButton: function (id, index, caption, font) {
      var w = windows[id];
      var button = document.createElement("button");
      button.className = "command";
      button.textContent = caption;
      button.style.font = font;
      button.dataset.window = id;
      button.addEventListener("click", function () { call("quintarel_button", [id, index]); });
      button.addEventListener("keydown", function (e) {
        // Enter presses a focused button, once per press, as Space does.
        if ((e.code === "Enter" || e.code === "NumpadEnter") && !e.repeat) {
          e.preventDefault();
          e.stopPropagation();
          call("quintarel_button", [id, index]);
        }
      });
      w.element.appendChild(button);
      w.buttons[index] = button;
    },
    placeButton: function (id, index, left, top, width, height, shown, enabled) {
      var button = windows[id].buttons[index], ratio = window.devicePixelRatio || 1;
      button.style.left = left / ratio + "px";
      button.style.top = top / ratio + "px";
      button.style.width = width / ratio + "px";
      button.style.height = height / ratio + "px";
      button.hidden = !shown;
      button.disabled = !enabled;
    },
    remove: function () {
      Object.keys(windows).forEach(function (k) { windows[k].element.remove(); });
      windows = {};
    },

    // Drawing, in the window's device pixels.
    save: function (id, x, y, width, height) {
      var ctx = windows[id].ctx;
      ctx.save();
      ctx.beginPath();
      ctx.rect(x, y, width, height);
      ctx.clip();
    },
    restore: function (id) { windows[id].ctx.restore(); },
    fill: function (id, x, y, width, height, color) {
      var ctx = windows[id].ctx;
      ctx.fillStyle = rgb(color);
      ctx.fillRect(x, y, width, height);
    },
    gradient: function (id, x, y, width, height, left, right) {
      var ctx = windows[id].ctx, g = ctx.createLinearGradient(x, 0, x + width, 0);
      g.addColorStop(0, rgb(left));
      g.addColorStop(1, rgb(right));
      ctx.fillStyle = g;
      ctx.fillRect(x, y, width, height);
    },
    line: function (id, x1, y1, x2, y2, width, color) {
      var ctx = windows[id].ctx;
      ctx.strokeStyle = rgb(color);
      ctx.lineWidth = width;
      ctx.lineCap = "round";
      ctx.beginPath();
      ctx.moveTo(x1 + 0.5, y1 + 0.5);
      ctx.lineTo(x2 + 0.5, y2 + 0.5);
      ctx.stroke();
    },
    shape: function (id, x, y, width, height, circle, lineWidth, line, filled, fillColor) {
      var ctx = windows[id].ctx;
      ctx.beginPath();
      if (circle) ctx.ellipse(x + width / 2, y + height / 2, width / 2, height / 2, 0, 0, 2 * Math.PI);
      else ctx.rect(x, y, width, height);
      if (filled) {
        ctx.fillStyle = rgb(fillColor);
        ctx.fill();
      }
      ctx.strokeStyle = rgb(line);
      ctx.lineWidth = lineWidth;
      ctx.stroke();
    },
    dotted: function (id, x, y, width, height) {
      var ctx = windows[id].ctx;
      ctx.save();
      ctx.strokeStyle = "rgb(0,0,0)";
      ctx.lineWidth = 1;
      ctx.setLineDash([1, 1]);
      ctx.strokeRect(x + 0.5, y + 0.5, width - 1, height - 1);
      ctx.restore();
    },
    // A line of text with its box's top at y; a narrowed font is the face squeezed.
    text: function (id, x, y, text, font, stretch, color) {
      var ctx = windows[id].ctx;
      ctx.save();
      ctx.font = font;
      ctx.textBaseline = "alphabetic";
      ctx.fillStyle = rgb(color);
      var ascent = ascents[font];
      if (ascent === undefined) ascent = ascents[font] = Math.ceil(ctx.measureText(text).fontBoundingBoxAscent);
      ctx.translate(x, y + ascent);
      if (stretch !== 100) ctx.scale(stretch / 100, 1);
      ctx.fillText(text, 0, 0);
      ctx.restore();
    },
    measure: function (text, font) {
      var ctx = Quintarel.measurer || (Quintarel.measurer = document.createElement("canvas").getContext("2d"));
      ctx.font = font;
      return Math.round(ctx.measureText(text).width);
    },
    lineHeight: function (font) {
      var ctx = Quintarel.measurer || (Quintarel.measurer = document.createElement("canvas").getContext("2d"));
      ctx.font = font;
      var m = ctx.measureText("ÁgjÝ");
      return Math.ceil(m.fontBoundingBoxAscent + m.fontBoundingBoxDescent);
    },
    icon: function (pixels, width, height) {
      var canvas = document.createElement("canvas");
      canvas.width = width;
      canvas.height = height;
      var ctx = canvas.getContext("2d"), image = ctx.createImageData(width, height);
      image.data.set(pixels);
      ctx.putImageData(image, 0, 0);
      Quintarel.iconCanvas = canvas;
    },
    image: function (id, x, y, width, height) {
      var ctx = windows[id].ctx;
      ctx.imageSmoothingEnabled = false;
      ctx.drawImage(Quintarel.iconCanvas, x, y, width, height);
    },

    // The message box: modal in the page; the program sleeps until it is answered.
    messageBox: function (title, prompt, critical) {
      var dialog = document.getElementById("message");
      dialog.querySelector(".title").textContent = title;
      dialog.querySelector(".prompt").textContent = prompt;
      dialog.querySelector(".icon").hidden = !critical;
      asleep = true;
      return new Promise(function (resolve) {
        var ok = dialog.querySelector("button");
        function done(e) {
          if (e) e.preventDefault();
          ok.removeEventListener("click", done);
          dialog.removeEventListener("cancel", done);
          dialog.close();
          asleep = false;
          resolve(1);
        }
        ok.addEventListener("click", done);
        // Escape answers a box whose one button is OK, as on the desktop.
        dialog.addEventListener("cancel", done);
        dialog.showModal();
        ok.focus();
      });
    },

    // The hold: the page takes the pointer and draws its own cursor.
    hold: function () {
      if (document.pointerLockElement === screen) return;
      try {
        var result = screen.requestPointerLock();
        if (result && result.catch) result.catch(function () {
          if (document.pointerLockElement !== screen) call("quintarel_lock", [-1]);
        });
      } catch (e) {
        call("quintarel_lock", [-1]);
      }
    },
    // The same press's hold, asked again when the browser will hear it.
    holdLater: function (ms) {
      clearTimeout(holdTimer);
      holdTimer = setTimeout(function () {
        holdTimer = 0;
        call("quintarel_hold_again", []);
      }, ms);
    },
    release: function () {
      clearTimeout(holdTimer);
      holdTimer = 0;
      if (document.pointerLockElement) document.exitPointerLock();
    },
    drawCursor: function (x, y, shown) {
      if (!cursor) cursor = document.getElementById("cursor");
      var ratio = window.devicePixelRatio || 1;
      cursor.hidden = !shown;
      cursor.style.left = x / ratio + "px";
      cursor.style.top = y / ratio + "px";
    },
    say: say,
    announce: function (text) {
      var live = document.getElementById("announce");
      // Each its own line: two told at once are both read, the same twice is
      // still news. The last few stay for a review.
      var line = document.createElement("p");
      line.textContent = text;
      live.appendChild(line);
      while (live.childNodes.length > 20) live.removeChild(live.firstChild);
    },
    // A minimized window waits as a button of the page's task bar.
    minimized: function (id, title) {
      var bar = document.getElementById("taskbar");
      var button = document.createElement("button");
      button.textContent = title;
      button.addEventListener("click", function () {
        button.remove();
        call("quintarel_restore", [id]);
      });
      bar.appendChild(button);
    },
    ended: function () {
      Quintarel.remove();
      document.getElementById("ended").hidden = false;
      say("");
    }
  };
})();
